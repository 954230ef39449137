// The "Параметри" items and the configuration file items of the main window, against the
// simulated device: read a group, edit it in its dialog, write it back; a file edited in the
// hub and written to the device.

#include "config/cnf_file.h"
#include "config/profile.h"
#include "config/program.h"
#include "config/rd_wr_ini.h"
#include "support/file_bytes.h"
#include "support/qt_printers.h"
#include "support/ui/linked_main.h"
#include "support/ui/modal_answer.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace
{

constexpr int kSimCom = 8;
const QString kWritten = QStringLiteral("Параметри записані у пристрій");

class ParamFlows : public LinkedMainTest
{
protected:
    ParamFlows() : LinkedMainTest(kSimCom) {}

    void trigger(const char* item) { window->findChild<QAction*>(item)->trigger(); }
    bool told(const QString& line1) const
    {
        for (const AskedMessage& m : op.asked) {
            if (m.line1 == line1)
                return true;
        }
        return false;
    }
    static void choose(QWidget* dialog, const char* list, int index)
    {
        auto* box = dialog->findChild<QComboBox*>(list);
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    static void type(QWidget* dialog, const char* field, const QString& text)
    {
        dialog->findChild<QLineEdit*>(field)->setText(text);
    }
    // A configuration file in CONFIG, as the device's defaults with port 1 at rate.
    QString configFile(const char* name, quint32 rate)
    {
        DeviceConfig cfg;
        MakeEmptyConfig(cfg);
        cfg.net.ip_prz = 1;
        cfg.ports[0].rate = rate;
        cfg.ports[0].port = 4001;
        const QString path = ConfigDirPath() + "/" + name;
        EXPECT_TRUE(WriteCnfFile(cfg, path));
        return path;
    }
};

} // namespace

// Port 1 and port 2: the group read from the device is shown, changed and written back; the
// device then runs with it (saved to EEPROM and restarted).
TEST_F(ParamFlows, APortIsReadEditedAndWrittenBack)
{
    for (int port : {1, 2}) {
        SCOPED_TRACE(port);
        SimDeviceState state = sim.state();
        state.params.ports[size_t(port - 1)].rate = 9600;
        state.params.ports[size_t(port - 1)].timeout = 20;
        sim.setState(state);
        const int restarts = state.restarts;
        op.asked.clear();

        ModalAnswer answer("BitBtn3"); // "Записати в пристрій"
        QString rateShown;
        answer.inspect = [&](QWidget* d) {
            rateShown = d->findChild<QComboBox*>("ComboBox2")->currentText();
            choose(d, "ComboBox2", 20); // 115200
            type(d, "Edit3", "7");
        };
        trigger(port == 1 ? "NPor1" : "NPort2");
        ASSERT_TRUE(answer.answered());
        EXPECT_EQ(answer.seen().caption, QStringLiteral("Параметри Ethernet-порту %1").arg(port));
        EXPECT_EQ(rateShown, "9600") << "the dialog shows what the device holds";

        ASSERT_EQ(op.asked.size(), 1);
        EXPECT_EQ(op.asked[0].kind, MsgNotice);
        EXPECT_EQ(op.asked[0].line1, kWritten);
        const SimDeviceState after = sim.state();
        EXPECT_EQ(after.params.ports[size_t(port - 1)].rate, 115200u);
        EXPECT_EQ(after.params.ports[size_t(port - 1)].timeout, 7u);
        EXPECT_EQ(after.saved.ports[size_t(port - 1)].rate, 115200u) << "saved to EEPROM";
        EXPECT_EQ(after.restarts, restarts + 1);
    }
}

// The network group: the serial link reads no address assignment, so the dialog opens with
// none chosen; the operator chooses one and the group is written.
TEST_F(ParamFlows, TheNetworkGroupIsReadEditedAndWrittenBack)
{
    SimDeviceState state = sim.state();
    state.params.ip = {192, 168, 1, 20};
    state.params.mask = {255, 255, 255, 0};
    state.params.gateway = {192, 168, 1, 1};
    state.params.ipPrz = 1;
    sim.setState(state);

    ModalAnswer answer("BitBtn3");
    int modeShown = 0;
    QString nameEnabled;
    answer.inspect = [&](QWidget* d) {
        modeShown = d->findChild<QComboBox*>("ComboBox1")->currentIndex();
        nameEnabled = d->findChild<QLineEdit*>("Edit1")->isEnabled() ? "yes" : "no";
        choose(d, "ComboBox1", 0);
        type(d, "ip4", "77");
    };
    trigger("NEth_Par");
    ASSERT_TRUE(answer.answered());
    EXPECT_EQ(modeShown, -1);
    EXPECT_EQ(nameEnabled, "no") << "a COM link carries no name";
    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].line1, kWritten);
    const SimDeviceState after = sim.state();
    EXPECT_EQ(after.params.ip, (std::array<quint8, 4>{192, 168, 1, 77}));
    EXPECT_EQ(after.params.ipPrz, 0);
    EXPECT_EQ(after.saved.ip, (std::array<quint8, 4>{192, 168, 1, 77}));
}

// A device that stops answering: during the read no dialog opens; during the write there is
// no notice, and nothing is said to be written.
TEST_F(ParamFlows, ASilentDeviceOpensNoDialogAndReportsNothingWritten)
{
    const struct {
        const char* item;
        char readCode;
        char writeCode;
    } cases[] = {{"NEth_Par", 0x62, 0x0D}, {"NPor1", 0x71, 0x21}, {"NPort2", char(0x95), 0x46}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        SimSerialFaults faults;
        faults.silentCodes = QByteArray(1, c.readCode);
        sim.setFaults(faults);
        op.asked.clear();
        {
            UnexpectedDialogs dialogs;
            trigger(c.item);
            EXPECT_EQ(dialogs.captions, QStringList()) << "no dialog after a failed read";
        }
        ASSERT_EQ(op.asked.size(), 1);
        EXPECT_EQ(op.asked[0].kind, MsgRetry);

        faults.silentCodes = QByteArray(1, c.writeCode);
        sim.setFaults(faults);
        op.asked.clear();
        ModalAnswer answer("BitBtn3");
        answer.inspect = [](QWidget* d) {
            if (auto* mode = d->findChild<QComboBox*>("ComboBox1"); mode->currentIndex() < 0)
                choose(d, "ComboBox1", 1);
        };
        trigger(c.item);
        ASSERT_TRUE(answer.answered());
        EXPECT_FALSE(told(kWritten)) << "a write that failed is not reported as done";
        EXPECT_TRUE(told(QStringLiteral("Пристрій не відповідає. Увага! Тумблер режиму роботи")));
    }
}

// "Конфігурування пристрою": a file opened, edited in the hub, written to the device. An
// unchanged record is written without a question; a changed one is offered for saving first
// and written whatever the answer.
TEST_F(ParamFlows, AFileIsWrittenToTheDevice)
{
    struct Case {
        const char* name;
        bool change;     // port 1's local port changed in the hub
        bool saveAnswer; // the answer to "Зберегти параметри у файлі?"
        bool questionAsked;
        const char* saveTo; // the file given to the save dialog
        bool deviceWritten;
    };
    const Case cases[] = {
        {"Unchanged", false, false, false, "", true},
        {"ChangedNotSaved", true, false, true, "", true},
        {"ChangedAndSaved", true, true, true, "changed.cnf", true},
        // A save that fails (into a file too large to be a configuration file) ends the
        // flow before the device is written.
        {"ChangedSaveFails", true, true, true, "big.cnf", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimDeviceState state = sim.state();
        state.params.ports[0].rate = 9600;
        sim.setState(state);
        const QString file = configFile("dev.cnf", 57600);
        const QString copy = ConfigDirPath() + "/" + c.saveTo;
        QFile::remove(copy);
        op.asked.clear();
        if (c.questionAsked)
            op.answer({c.saveAnswer});
        if (!c.deviceWritten) {
            PutFile(copy, QByteArray(kMaxIniFileSize + 1, ';'));
            op.answer({true}); // "Ви бажаєте замінити існуючий файл?"
        }

        const auto open = ChooseFileInNextDialog(file);
        ModalAnswer hub("BitBtn3"); // "Записати у пристрій"
        std::unique_ptr<ModalAnswer> save;
        hub.inspect = [&](QWidget* d) {
            if (c.change) {
                ModalAnswer port("BitBtn1");
                port.inspect = [](QWidget* p) { type(p, "Edit1", "4999"); };
                d->findChild<QPushButton*>("bt2")->click();
                EXPECT_TRUE(port.answered());
            }
            if (c.saveAnswer)
                save = ChooseFileInNextDialog(copy);
        };
        trigger("NWr_Config");
        ASSERT_TRUE(open->answered());
        ASSERT_TRUE(hub.answered());
        EXPECT_EQ(hub.seen().caption, " Параметри конфігурування пристрою");

        EXPECT_EQ(told(QStringLiteral("Зберегти параметри у файлі?")), c.questionAsked);
        EXPECT_EQ(told(kWritten), c.deviceWritten);
        const SimDeviceState after = sim.state();
        if (c.deviceWritten) {
            EXPECT_EQ(after.params.ports[0].rate, 57600u) << "the file's port 1";
            EXPECT_EQ(after.params.ports[0].port, c.change ? 4999 : 4001);
            EXPECT_EQ(after.params.ipPrz, 1);
        } else {
            EXPECT_TRUE(told(UnableToWriteText(copy)));
            EXPECT_EQ(after.params.ports[0].rate, 9600u) << "nothing written to the device";
        }
        if (c.deviceWritten) {
            EXPECT_EQ(QFileInfo(copy).isFile(), c.saveAnswer);
        }
        DeviceConfig original;
        ASSERT_TRUE(ReadCnfFile(file, original));
        EXPECT_EQ(quint16(original.ports[0].port), 4001) << "the opened file itself is unchanged";
    }
}

// A file of another version is refused before the hub, and nothing is sent to the device.
TEST_F(ParamFlows, AFileOfAnotherVersionIsNotWritten)
{
    DeviceConfig cfg;
    MakeEmptyConfig(cfg);
    cfg.box_vers = 40;
    const QString file = ConfigDirPath() + "/v40.cnf";
    ASSERT_TRUE(WriteCnfFile(cfg, file));
    sim.clearLog();
    const auto open = ChooseFileInNextDialog(file);
    trigger("NWr_Config");
    ASSERT_TRUE(open->answered());
    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].line1, "Файл v40.cnf не є файлом конфігурації");
    EXPECT_EQ(sim.frameCount(), 0);
}

// "Створення нового файлу конфігурації" and "Перегляд/ Коригування файлу конфігурації":
// the question only when the hub was accepted with a change, and the save on "Так".
TEST_F(ParamFlows, NewAndExistingFilesAreEditedAndSaved)
{
    struct Case {
        const char* name;
        const char* item;
        bool change;
        const char* hubButton; // "Прийняти" or "Відмінити"
        bool questionAsked;
    };
    const Case cases[] = {
        {"NewUnchanged", "NNewcnf", false, "BitBtn2", false},
        {"NewChangedButCancelled", "NNewcnf", true, "BitBtn1", false},
        {"NewChanged", "NNewcnf", true, "BitBtn2", true},
        {"ExistingChanged", "NEditcnf", true, "BitBtn2", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = configFile("edit.cnf", 9600);
        const QString saved = ConfigDirPath() + "/saved.cnf";
        QFile::remove(saved);
        op.asked.clear();
        if (c.questionAsked)
            op.answer({true});
        sim.clearLog();

        std::unique_ptr<ModalAnswer> open;
        if (QByteArray(c.item) == "NEditcnf")
            open = ChooseFileInNextDialog(file);
        ModalAnswer hub(c.hubButton);
        std::unique_ptr<ModalAnswer> save;
        hub.inspect = [&](QWidget* d) {
            if (c.change) {
                ModalAnswer port("BitBtn1");
                port.inspect = [](QWidget* p) { type(p, "Edit1", "4321"); };
                d->findChild<QPushButton*>("bt3")->click();
                EXPECT_TRUE(port.answered());
            }
            if (c.questionAsked)
                save = ChooseFileInNextDialog(saved);
        };
        trigger(c.item);
        ASSERT_TRUE(hub.answered());
        EXPECT_EQ(hub.seen().labels.value("Panel9"), "39");
        EXPECT_EQ(told(QStringLiteral("Зберегти параметри у файлі?")), c.questionAsked);
        if (c.questionAsked) {
            DeviceConfig back;
            ASSERT_TRUE(ReadCnfFile(saved, back));
            EXPECT_EQ(quint16(back.ports[1].port), 4321); // a copy: the record is packed
        } else {
            EXPECT_FALSE(QFileInfo::exists(saved));
        }
        EXPECT_EQ(sim.frameCount(), 0) << "files only: nothing goes to the device";
    }
}

namespace
{

// A write from the main window to a device that may keep an old value or not answer the
// read-back, followed by the read-back and its notice.
class VerifiedWrites : public ParamFlows
{
protected:
    // The device before a case: what the dialogs below change is different here.
    void resetDevice(const char* dropped)
    {
        SimDeviceState state;
        state.params.ip = {192, 168, 1, 20};
        state.params.mask = {255, 255, 255, 0};
        state.params.gateway = {192, 168, 1, 1};
        state.saved = state.params;
        state.dropField = QString::fromUtf8(dropped);
        sim.setState(state);
        sim.setFaults({});
        sim.clearLog();
        op.asked.clear();
        op.notices.clear();
    }

    // Writes through the item's dialog: a port at 115200 bit/s; the network group with manual
    // addresses and the address ending in 77; or a file with port 1 at 57600 bit/s. While the
    // dialog is open (the device has been read for it) the device starts ignoring the
    // commands with the codes given.
    void writeThrough(const QByteArray& item, const QByteArray& ignoredFromNowOn)
    {
        const auto ignore = [&] {
            SimSerialFaults faults;
            faults.silentCodes = ignoredFromNowOn;
            sim.setFaults(faults);
        };
        if (item == "NWr_Config") {
            const auto open = ChooseFileInNextDialog(configFile("verify.cnf", 57600));
            ModalAnswer hub("BitBtn3");
            hub.inspect = [&](QWidget*) { ignore(); };
            trigger("NWr_Config");
            EXPECT_TRUE(open->answered());
            EXPECT_TRUE(hub.answered());
            return;
        }
        ModalAnswer answer("BitBtn3");
        answer.inspect = [&](QWidget* d) {
            ignore();
            if (item == "NEth_Par") {
                choose(d, "ComboBox1", 0);
                type(d, "ip4", "77");
            } else {
                choose(d, "ComboBox2", 20); // 115200
            }
        };
        trigger(item.constData());
        EXPECT_TRUE(answer.answered());
    }

    QStringList noticeLines() const
    {
        QStringList out;
        for (const ListNotice& n : op.notices)
            out << n.title << n.lines;
        return out;
    }
};

const QString kNotVerified = QStringLiteral("Запис не перевірено:");
const QString kDiffers = QStringLiteral("Пристрій зберіг не те, що записано:");

} // namespace

// Every write of the main window is read back: a field the device did not keep is listed
// with the value written and the value read, in one notice after "written"; a device that
// cannot be read back is reported as not verified; with "Перевіряти запис" off nothing is read.
TEST_F(VerifiedWrites, EachWriteIsReadBackAndComparedWithWhatWasWritten)
{
    struct Case {
        const char* name;
        const char* item;
        const char* dropped;
        QByteArray silentCodes; // the device ignores them once the dialog is open
        bool verify;
        QStringList notice; // title and lines of the list notice; empty: none
        bool notVerified;
    };
    const Case cases[] = {
        {"port 2 kept", "NPort2", "", {}, true, {}, false},
        {"port 2 rate dropped",
         "NPort2",
         "port2.rate",
         {},
         true,
         {kDiffers, "Порт 2: швидкість передачі: записано 115200, прочитано 9600"},
         false},
        {"port 1 unreadable", "NPor1", "", "\x71", true, {}, true},
        {"port 2 rate dropped, verification off", "NPort2", "port2.rate", {}, false, {}, false},
        {"network address dropped",
         "NEth_Par",
         "ip_adr",
         {},
         true,
         {kDiffers, "IP-адреса контролера: записано 192.168.1.77, прочитано 192.168.1.20"},
         false},
        {"file, port 1 rate dropped",
         "NWr_Config",
         "port1.rate",
         {},
         true,
         {kDiffers, "Порт 1: швидкість передачі: записано 57600, прочитано 9600"},
         false},
        {"file kept", "NWr_Config", "", {}, true, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetDevice(c.dropped);
        ConnSet().cur.VerifyWrites = c.verify;
        writeThrough(c.item, c.silentCodes);

        EXPECT_TRUE(told(kWritten)) << "the write itself is reported as before";
        EXPECT_EQ(noticeLines(), c.notice);
        EXPECT_EQ(told(kNotVerified), c.notVerified);
        if (!c.verify) {
            EXPECT_EQ(SentCodes(sim).back(), 0x02) << "nothing is read after the restart";
        }
    }
}
