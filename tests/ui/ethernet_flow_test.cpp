// The work over Ethernet from the main window, against the simulated device on a loopback
// address: the connection dialog's Ethernet page, the device line, the all-parameters form
// with its device actions, and the link closed when the form closes.

#include "app/main.h"
#include "config/cnf_file.h"
#include "config/profile.h"
#include "config/program.h"
#include "config/rd_wr_ini.h"
#include "connect/abonent.h"
#include "connect/all_param.h"
#include "connect/connect.h"
#include "link/qelbox.h"
#include "support/qt_printers.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_operator.h"
#include "support/sim_udp.h"
#include "support/ui/modal_answer.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace
{

// Runs act once on the first modal dialog of type T that shows, from a timer of the event
// loop (the dialog's own, nested ones included).
template <class T> class WhenShown
{
public:
    explicit WhenShown(std::function<void(T*)> act) : act_(std::move(act))
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            timer_.stop();
            done_ = true;
            act_(dialog);
        });
        timer_.start();
    }
    bool done() const { return done_; }

private:
    std::function<void(T*)> act_;
    QTimer timer_;
    bool done_ = false;
};

class EthernetFlow : public SimUdpTest
{
protected:
    void SetUp() override
    {
        SimUdpTest::SetUp();
        if (HasFatalFailure())
            return;
        SimDeviceState state = sim.state();
        state.name = "QEL_2 simulator";
        state.params.ip = {127, 0, 0, 2};
        state.params.ports[1].rate = 9600;
        state.params.port2Enabled = 1; // port 2 is on, so the form takes its fields
        state.saved = state.params;
        sim.setState(state);

        IniFile ini;
        ASSERT_TRUE(ini.load(program.settingsPath()));
        ini.setValue("CURR_PAR", "Conn_Prz", "1");
        ini.setValue("ABONENTS_CURR_PAR", "users_num", QByteArray::number(abonents));
        ini.setValue("ABONENTS_CURR_PAR", "user_index", "0");
        ini.setValue("ETHERNET_ABONENT_1", "user_name", "QEL_2 simulator");
        ini.setValue("ETHERNET_ABONENT_1", "ip_adr", "33554559"); // 127.0.0.2
        ASSERT_TRUE(ini.save(program.settingsPath()));

        QFile exe(program.path() + "/qel2_serv");
        ASSERT_TRUE(exe.open(QIODevice::WriteOnly));
        window = std::make_unique<TFormMain>(QStringList{exe.fileName()});
        ASSERT_TRUE(window->FormCreate());
        window->linkContext()->devicePort = sim.devicePort();
        window->linkContext()->localPort = replyPort;
    }
    void TearDown() override
    {
        window.reset();
        ConnSet() = ConnSettingsState();
        Program().connected = 0;
        SimUdpTest::TearDown();
    }

    template <class T> static T* child(QWidget* w, const char* name)
    {
        T* c = w->findChild<T*>(name);
        EXPECT_NE(c, nullptr) << name;
        return c;
    }

    int abonents = 1;
    ScriptedOperator op;
    std::unique_ptr<TFormMain> window;
};

// Connect over Ethernet, change port 2's rate in the form and write it: the device holds it,
// the form shows what the device reported after the write, and closing the form closes the
// link.
TEST_F(EthernetFlow, ConnectChangeWriteAndClose)
{
    QString panel1;
    QString formStatus;
    QString rateAfterWrite;
    bool menuHidden = false;
    ModalAnswer connect("BitBtn1"); // "Зв'язатися" on the Ethernet page
    WhenShown<TFormAll_Param> work([&](TFormAll_Param* form) {
        panel1 = window->statusLine()->text(1);
        formStatus = child<QLabel>(form, "Panel2")->text();
        menuHidden = true;
        for (QAction* a : window->menuBar()->actions())
            menuHidden &= !a->isVisible();
        auto* rate = child<QComboBox>(form, "ComboBox8");
        rate->setCurrentIndex(20);                    // 115200
        child<QPushButton>(form, "BitBtn1")->click(); // "Записати у пристрій"
        rateAfterWrite = child<QComboBox>(form, "ComboBox8")->currentText();
        form->close();
    });
    window->TimerStartTimer();

    ASSERT_TRUE(connect.answered());
    ASSERT_TRUE(work.done());
    EXPECT_EQ(panel1, "Пристрій \"QEL_2 simulator\".   MAC_адр. 00:1A:2B:3C:4D:5E");
    EXPECT_TRUE(formStatus.contains("IP-адр. 127.0.0.2")) << formStatus.toStdString();
    EXPECT_TRUE(menuHidden) << "the form is the working surface";
    EXPECT_EQ(rateAfterWrite, "115200") << "read back from the device";
    ASSERT_FALSE(op.asked.isEmpty());
    EXPECT_EQ(op.asked.last().line1, "Параметри записані у пристрій");
    EXPECT_EQ(sim.state().saved.ports[1].rate, 115200u);

    EXPECT_EQ(Program().connected, 0) << "the link closes with the form";
    EXPECT_EQ(window->linkContext()->sendSocket, nullptr);
    EXPECT_EQ(window->linkContext()->deviceMac, (std::array<quint8, 6>{}));
    EXPECT_EQ(window->statusLine()->text(1), "");
    EXPECT_FALSE(window->findChild<QAction*>("NWorkPar")->isEnabled());
}

// "Прочитати параметри з пристрою" replaces the operator's edits with what the device holds
// now; a .cnf file loaded into the form is then what "Записати у пристрій" writes.
TEST_F(EthernetFlow, ReadAgainThenWriteAFile)
{
    ModalAnswer connect("BitBtn1");
    ScriptedDialogs dialogs;
    const QString path = ConfigDirPath() + "/stand.cnf";
    QString portAfterRead;
    WhenShown<TFormAll_Param> work([&](TFormAll_Param* form) {
        form->setFileDialogs(dialogs);
        child<QLineEdit>(form, "Edit1")->setText("777");
        sim.device()->update([](SimDeviceState& s) { s.params.ports[0].port = 4000; });
        form->findChild<QAction*>("N3")->trigger(); // "Прочитати параметри з пристрою"
        portAfterRead = child<QLineEdit>(form, "Edit1")->text();

        DeviceConfig file = form->Record;
        file.ports[0].port = 4321;
        file.ports[1].rate = 57600;
        ASSERT_TRUE(WriteCnfFile(file, path));
        dialogs.answer({path});
        form->findChild<QAction*>("N4")->trigger(); // "Прочитати параметри з файлу"
        child<QPushButton>(form, "BitBtn1")->click();
        form->close();
    });
    window->TimerStartTimer();

    ASSERT_TRUE(work.done());
    EXPECT_EQ(portAfterRead, "4000");
    EXPECT_EQ(sim.state().saved.ports[0].port, 4321);
    EXPECT_EQ(sim.state().saved.ports[1].rate, 57600u);
    ASSERT_FALSE(op.asked.isEmpty());
    EXPECT_EQ(op.asked.last().line1, "Параметри записані у пристрій");
}

// A write the device does not answer closes the form, and with it the link.
TEST_F(EthernetFlow, AFailedWriteClosesTheForm)
{
    ModalAnswer connect("BitBtn1");
    bool closedByItself = false;
    WhenShown<TFormAll_Param> work([&](TFormAll_Param* form) {
        SimUdpFaults silent;
        silent.silent = true;
        sim.setFaults(silent);
        child<QPushButton>(form, "BitBtn1")->click();
        closedByItself = !form->isVisible();
        if (!closedByItself)
            form->close();
    });
    window->TimerStartTimer();
    ASSERT_TRUE(work.done());
    EXPECT_TRUE(closedByItself);
    QStringList told;
    for (const AskedMessage& m : op.asked)
        told << m.line1;
    EXPECT_TRUE(told.contains("Не виконано запис конфігурації в пристрій"));
    EXPECT_FALSE(told.contains("Параметри записані у пристрій"));
    EXPECT_EQ(Program().connected, 0);
}

// "Записати у пристрій" compares what the device reported after the write with the record
// written: a field it did not keep is listed with both values in one notice; a device that
// cannot be read back after the write is reported as not verified (and the form closes, as
// for any read that fails); with "Перевіряти запис" unchecked in the connection dialog nothing
// is compared.
TEST_F(EthernetFlow, AWriteIsComparedWithWhatTheDeviceReportsAfterIt)
{
    const QString notVerified = QStringLiteral("Запис не перевірено:");
    struct Case {
        const char* name;
        const char* dropped;
        int restartSilenceMs;
        bool verify; // the check box in the connection dialog
        QStringList notice;
        bool notVerified;
    };
    const Case cases[] = {
        {"kept", "", 0, true, {}, false},
        {"port 2 rate dropped",
         "port2.rate",
         0,
         true,
         {"Пристрій зберіг не те, що записано:",
          "Порт 2: швидкість передачі: записано 115200, прочитано 9600"},
         false},
        {"name dropped",
         "box_name",
         0,
         true,
         {"Пристрій зберіг не те, що записано:",
          "Найменування пристрою: записано Стенд <b>2</b>, прочитано QEL_2 simulator"},
         false},
        {"port 2 rate dropped, verification off", "port2.rate", 0, false, {}, false},
        // Last: the device stays silent for longer than the test.
        {"silent after the write", "", 60000, true, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimDeviceState state = sim.state();
        state.name = "QEL_2 simulator";
        state.params.ports[1].rate = 9600;
        state.saved = state.params;
        state.dropField = QString::fromUtf8(c.dropped);
        sim.setState(state);
        SimUdpFaults faults;
        faults.restartSilenceMs = c.restartSilenceMs;
        sim.setFaults(faults);
        op.asked.clear();
        op.notices.clear();

        ModalAnswer connect("BitBtn1");
        connect.inspect = [&](QWidget* d) {
            child<QCheckBox>(d, "CheckVerify")->setChecked(c.verify);
        };
        QString rateAfterWrite;
        WhenShown<TFormAll_Param> work([&](TFormAll_Param* form) {
            child<QComboBox>(form, "ComboBox8")->setCurrentIndex(20); // 115200
            child<QLineEdit>(form, "Edit8")->setText("Стенд <b>2</b>");
            child<QPushButton>(form, "BitBtn1")->click();
            if (form->isVisible()) {
                rateAfterWrite = child<QComboBox>(form, "ComboBox8")->currentText();
                form->close();
            }
        });
        window->TimerStartTimer();
        ASSERT_TRUE(connect.answered());
        ASSERT_TRUE(work.done());

        QStringList told;
        for (const AskedMessage& m : op.asked)
            told << m.line1;
        EXPECT_TRUE(told.contains("Параметри записані у пристрій"));
        QStringList notice;
        for (const ListNotice& n : op.notices)
            notice << n.title << n.lines;
        EXPECT_EQ(notice, c.notice);
        EXPECT_EQ(told.contains(notVerified), c.notVerified);
        if (!c.notVerified) {
            EXPECT_EQ(rateAfterWrite, QString(c.dropped) == "port2.rate" ? "9600" : "115200")
                << "the form shows what the device reported";
        }
        EXPECT_EQ(ConnSet().cur.VerifyWrites, c.verify) << "the check box was stored";
    }
}

// "Новий абонент": the device is added to the book first and the connection goes to it;
// leaving the entry form sends nothing.
TEST_F(EthernetFlow, ANewAbonentIsAddedThenConnected)
{
    for (bool accept : {false, true}) {
        SCOPED_TRACE(accept ? "accepted" : "cancelled");
        ConnSet().cur.book = AbonentBook();
        ConnSet().saved = ConnSet().cur;
        sim.clearLog();
        op.asked.clear();

        ModalAnswer connectDialog("BitBtn1");
        connectDialog.inspect = [](QWidget* d) {
            auto* list = d->findChild<QComboBox*>("ComboBox6");
            list->setCurrentIndex(list->count() - 1); // "Новий абонент"
        };
        WhenShown<TFormAbonent> entry([&](TFormAbonent* form) {
            if (!accept) {
                child<QPushButton>(form, "BitBtn5")->click();
                return;
            }
            child<QLineEdit>(form, "Edit1")->setText("Стенд");
            const char* octets[] = {"127", "0", "0", "2"};
            for (int k = 0; k < 4; ++k)
                child<QLineEdit>(form, QStringLiteral("ip%1").arg(k + 1).toLatin1())
                    ->setText(octets[k]);
            child<QPushButton>(form, "BitBtn4")->click();
        });
        WhenShown<TFormAll_Param> work([](TFormAll_Param* form) { form->close(); });
        std::unique_ptr<ModalAnswer> leave;
        if (!accept) {
            // The connection dialog stays open after a cancelled entry; leave it.
            leave = std::make_unique<ModalAnswer>("BitBtn2");
        }
        window->TimerStartTimer();
        ASSERT_TRUE(entry.done());
        EXPECT_EQ(work.done(), accept);
        const AbonentBook& book = ConnSet().cur.book;
        if (accept) {
            ASSERT_EQ(book.users_num, 1);
            EXPECT_EQ(AbonentName(book.abonents[0]), "Стенд");
            EXPECT_EQ(book.user_index, 0);
            EXPECT_GE(sim.requestCount(), 3) << "the connection went to the new abonent";
        } else {
            EXPECT_EQ(book.users_num, 0);
            EXPECT_EQ(sim.requestCount(), 0) << "nothing is sent";
        }
    }
}

} // namespace
