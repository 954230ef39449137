// "Збереження  параметрів конфігурації в файлі": the device on the serial link saved to a file.

#include "app/main.h"
#include "config/cnf_file.h"
#include "config/program.h"
#include "config/rd_wr_ini.h"
#include "link/comportfunctions.h"
#include "link/qelbox.h"
#include "support/qt_printers.h"
#include "support/scripted_operator.h"
#include "support/sim_com.h"
#include "support/ui/choose_file.h"
#include "support/ui/modal_answer.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSerialPort>

#include <gtest/gtest.h>

namespace
{

constexpr int kSimCom = 6;

// The main window with a connection dialog that links straight to the simulated device.
class LinkedMain : public TFormMain
{
public:
    using TFormMain::TFormMain;

protected:
    bool RunConnectDialog() override
    {
        LinkContext* ctx = linkContext();
        ctx->port = OpenComPort(kSimCom, 9600, 8, 0, 0, 1000, 1000, true, false);
        ctx->attemptCount = 1;
        ctx->replyTimeout = 300;
        ctx->interByteTimeout = 100;
        return ctx->port != nullptr;
    }
};

class SaveDeviceToFile : public SimComTest
{
protected:
    SaveDeviceToFile() : SimComTest(kSimCom) {}

    void SetUp() override
    {
        SimComTest::SetUp();
        if (HasFatalFailure())
            return;
        QFile exe(program.path() + "/qel2_serv");
        ASSERT_TRUE(exe.open(QIODevice::WriteOnly));
        window = std::make_unique<LinkedMain>(QStringList{exe.fileName()});
        ASSERT_TRUE(window->FormCreate());
        window->TimerStartTimer();
        ASSERT_EQ(Program().connected, 1);
    }
    void TearDown() override
    {
        window.reset();
        ConnSet() = ConnSettingsState();
    }

    // Triggers the menu item and confirms the save dialog with name (empty: cancel).
    void saveAs(const QString& name, FileDialogRequest* offered = nullptr)
    {
        ModalAnswer answer(ModalAnswer::Action::CloseWindow);
        answer.inspect = [&](QWidget* dialog) {
            auto* fd = qobject_cast<QFileDialog*>(dialog);
            ASSERT_NE(fd, nullptr);
            if (offered) {
                offered->title = fd->windowTitle();
                offered->dir = fd->directory().absolutePath();
                offered->fileName = fd->selectedFiles().value(0);
            }
            if (!name.isEmpty()) {
                ChooseFileAndAccept(*fd, name);
            }
        };
        window->findChild<QAction*>("Nrdcnf")->trigger();
        EXPECT_TRUE(answer.answered());
    }

    ScriptedOperator op;
    std::unique_ptr<LinkedMain> window;
};

} // namespace

TEST_F(SaveDeviceToFile, ReadsTheThreeGroupsAndSavesThemUnderTheOfferedName)
{
    SimDeviceState state = sim.state();
    state.params.ip = {192, 168, 1, 200};
    state.params.ports[1].regim = 2;
    state.params.ports[1].timeout = 200;
    sim.setState(state);

    FileDialogRequest offered;
    const QString path = ConfigDirPath() + "/dev.cnf";
    saveAs(path, &offered);
    EXPECT_EQ(offered.title, QStringLiteral("Вибір файлу для запису параметрів конфігурації"));
    EXPECT_EQ(offered.dir, QFileInfo(ConfigDirPath()).absoluteFilePath());
    EXPECT_TRUE(QFileInfo(offered.fileName).fileName().startsWith("qel_2_39_"))
        << offered.fileName.toStdString();

    ASSERT_TRUE(QFileInfo::exists(path));
    DeviceConfig saved;
    ReadCnfFile(path, saved);
    EXPECT_EQ(saved.box_vers, 39);
    EXPECT_EQ(saved.is_port2, 0);
    EXPECT_EQ(saved.net.ip_prz, 255);
    EXPECT_EQ(saved.net.ip_adr, state.params.ip);
    EXPECT_EQ(saved.ports[1].regim, 2);
    EXPECT_EQ(saved.ports[1].timeout, 200u);
    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].line2, QStringLiteral("збережені в файлі dev.cnf"));
}

TEST_F(SaveDeviceToFile, AFailedReadSavesNothing)
{
    SimSerialFaults faults;
    faults.silentCodes = "\x71"; // port 1 rate
    sim.setFaults(faults);
    window->findChild<QAction*>("Nrdcnf")->trigger();
    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].kind, MsgRetry);
    EXPECT_TRUE(QDir(ConfigDirPath()).entryList(QDir::Files).isEmpty());
}
