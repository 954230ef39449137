// "Збереження  параметрів конфігурації в файлі": the device on the serial link saved to a file.

#include "config/cnf_file.h"
#include "config/program.h"
#include "support/qt_printers.h"
#include "support/ui/choose_file.h"
#include "support/ui/linked_main.h"
#include "support/ui/modal_answer.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace
{

constexpr int kSimCom = 6;

class SaveDeviceToFile : public LinkedMainTest
{
protected:
    SaveDeviceToFile() : LinkedMainTest(kSimCom) {}

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
    EXPECT_EQ(quint32(saved.ports[1].timeout), 200u); // a copy: the record is packed
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
