// The connection dialog: what it shows from the settings, how it refuses incomplete or
// out-of-range input, and the serial link it opens to the simulated device.

#include "app/main.h"
#include "config/profile.h"
#include "config/program.h"
#include "config/rd_wr_ini.h"
#include "connect/connect.h"
#include "link/qelbox.h"
#include "support/file_bytes.h"
#include "support/qt_printers.h"
#include "support/scripted_operator.h"
#include "support/sim_com.h"
#include "support/ui/modal_answer.h"
#include "support/ui/operator_input.h"
#include "widgets/statusline.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>

#include <gtest/gtest.h>

#include <functional>

namespace
{

constexpr int kSimCom = 7;

// The simulated device on COM7, the settings file of a temporary program directory, and
// a connection dialog over a link context of its own.
class ConnectDialogTest : public SimComTest
{
protected:
    ConnectDialogTest() : SimComTest(kSimCom) {}

public:
    void SetUp() override
    {
        SimComTest::SetUp();
        if (HasFatalFailure())
            return;
        InitLinkContext(link);
        setKeys({{"DIR_CONN_PAR", "COMPort", "7"},
                 {"DIR_CONN_PAR", "Rate", "9600"},
                 {"DIR_CONN_PAR", "Repeat", "2"},
                 {"DIR_CONN_PAR", "TimeOut", "100"},
                 {"DIR_CONN_PAR", "WaitTime", "2"},
                 {"CURR_PAR", "Conn_Prz", "0"}});
    }
    void TearDown() override
    {
        dialog.reset();
        ReleaseLink(link);
        ConnSet() = ConnSettingsState();
    }

    struct Key {
        QByteArray section, key, value;
    };
    // Sets keys of the settings file and reads it as the program does at start-up.
    void setKeys(std::initializer_list<Key> keys)
    {
        IniFile ini;
        ASSERT_TRUE(ini.load(program.settingsPath()));
        for (const Key& k : keys)
            ini.setValue(k.section, k.key, k.value);
        ASSERT_TRUE(ini.save(program.settingsPath()));
        ReadConnSettings(ConnSet(), program.settingsPath());
    }

    // A new dialog, shown (which fills it from the settings).
    void open()
    {
        dialog = std::make_unique<TFormConnect>(link);
        dialog->StatusBar = &bar;
        dialog->show();
    }

    template <class T> T* child(const char* name)
    {
        T* w = dialog->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QComboBox* combo(const char* name) { return child<QComboBox>(name); }
    QLineEdit* edit(const char* name) { return child<QLineEdit>(name); }
    void chooseType(int index)
    {
        combo("ComboBox4")->setCurrentIndex(index);
        emit combo("ComboBox4")->activated(index);
    }
    void pressConnect() { child<QPushButton>("BitBtn1")->click(); }

    // What the operator does to the dialog, given as real input through the window system.
    enum Input { CloseBox, Escape, ExitButton, TypeSwitch };
    void give(Input input)
    {
        switch (input) {
        case CloseBox:
            PressCloseBox(dialog.get());
            break;
        case Escape:
            PressKey(dialog.get(), Qt::Key_Escape);
            break;
        case ExitButton:
            ClickWidget(child<QPushButton>("BitBtn2"));
            break;
        case TypeSwitch:
            combo("ComboBox4")->setFocus();
            PressKey(combo("ComboBox4"), Qt::Key_Down);
            break;
        }
    }

    LinkContext link;
    StatusLine bar;
    ScriptedOperator op;
    std::unique_ptr<TFormConnect> dialog;
};

TEST_F(ConnectDialogTest, ShowsTheSerialPageFromTheSettings)
{
    open();
    EXPECT_EQ(dialog->windowTitle(), " Встановлення зв'язку з пристроєм");
    EXPECT_EQ(dialog->size(), QSize(630, 256));
    EXPECT_TRUE(child<QWidget>("pn_dir")->isVisible());
    EXPECT_FALSE(child<QWidget>("pn_ethr")->isVisible());

    QComboBox* ports = combo("ComboBox1");
    const QString simPort = QStringLiteral("COM7 (%1)").arg(sim.slavePath());
    ASSERT_GE(ports->findText(simPort), 0) << "the simulator's port is listed";
    EXPECT_EQ(ports->currentText(), simPort) << "the remembered port is selected";

    QComboBox* rates = combo("ComboBox2");
    EXPECT_EQ(rates->count(), 22);
    EXPECT_EQ(rates->currentText(), "9600");
    EXPECT_FALSE(rates->isEnabled());

    EXPECT_EQ(edit("Edit1")->text(), "2");
    EXPECT_EQ(edit("Edit2")->text(), "100");
    EXPECT_EQ(edit("Edit1")->maxLength(), 3);
    EXPECT_EQ(edit("Edit2")->maxLength(), 4);
    EXPECT_EQ(combo("ComboBox3")->currentText(), " 2");
    EXPECT_EQ(bar.text(0), " COM7,   9600 біт/с");
}

TEST_F(ConnectDialogTest, TypeSwitchesThePageAndIsStoredAtOnce)
{
    open();
    chooseType(1);
    EXPECT_EQ(dialog->size(), QSize(474, 212));
    EXPECT_TRUE(child<QWidget>("pn_ethr")->isVisible());
    EXPECT_FALSE(child<QWidget>("pn_dir")->isVisible());
    EXPECT_EQ(ConnSet().cur.Conn_Prz, 1);
    chooseType(0);
    EXPECT_EQ(dialog->size(), QSize(630, 256));
    EXPECT_EQ(ConnSet().cur.Conn_Prz, 0);
}

// Each bad input gets its message, nothing reaches the settings file or the device, and
// the dialog stays open.
struct RefusedCase {
    const char* name;
    std::function<void(ConnectDialogTest&)> before; // settings, before the dialog opens
    std::function<void(ConnectDialogTest&)> input;  // what the operator changes
    int kind;
    QString line1, line2;
};

class ConnectRefused : public ConnectDialogTest, public ::testing::WithParamInterface<RefusedCase>
{
};

TEST_P(ConnectRefused, ShowsTheMessageAndStoresNothing)
{
    const RefusedCase& c = GetParam();
    if (c.before)
        c.before(*this);
    const QByteArray fileBefore = FileBytes(program.settingsPath());
    open();
    if (c.input)
        c.input(*this);
    const ConnSettings before = ConnSet().cur;
    pressConnect();

    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].kind, c.kind);
    EXPECT_EQ(op.asked[0].line1, c.line1);
    EXPECT_EQ(op.asked[0].line2, c.line2);
    EXPECT_TRUE(ConnSet().cur == before) << "nothing stored";
    EXPECT_EQ(FileBytes(program.settingsPath()), fileBefore);
    EXPECT_EQ(sim.frameCount(), 0);
    EXPECT_FALSE(dialog->Connected);
    EXPECT_TRUE(dialog->isVisible());
}

const QString kNotAll = QStringLiteral("Уведені не всі параметри");
const QString kRange1 = QStringLiteral("Введіть значення ");
const QString kRange2 = QStringLiteral("відповідно до заданого діапазону");

auto setKey(const char* section, const char* key, const char* value)
{
    return [=](ConnectDialogTest& t) { t.setKeys({{section, key, value}}); };
}
auto type(const char* field, const char* text)
{
    return [=](ConnectDialogTest& t) { t.edit(field)->setText(QString::fromUtf8(text)); };
}

const RefusedCase kRefused[] = {
    {"UnknownLinkType", setKey("CURR_PAR", "Conn_Prz", "7"), nullptr, MsgInputError,
     QStringLiteral("Не введений тип зв'язку"), ""},
    {"PortNotPresent", setKey("DIR_CONN_PAR", "COMPort", "0"), nullptr, MsgInputError, kNotAll, ""},
    {"AttemptsZero", setKey("DIR_CONN_PAR", "Repeat", "0"), nullptr, MsgInputError, kNotAll, ""},
    {"AttemptsNine", setKey("DIR_CONN_PAR", "Repeat", "9"), nullptr, MsgInputError, kNotAll, ""},
    {"FirstWaitEmpty", nullptr, type("Edit1", ""), MsgInputError, kNotAll, ""},
    {"NextWaitEmpty", nullptr, type("Edit2", ""), MsgInputError, kNotAll, ""},
    {"FirstWait0", nullptr, type("Edit1", "0"), MsgInputError, kRange1, kRange2},
    {"FirstWait121", nullptr, type("Edit1", "121"), MsgInputError, kRange1, kRange2},
    {"NextWait54", nullptr, type("Edit2", "54"), MsgInputError, kRange1, kRange2},
    {"NextWait5001", nullptr, type("Edit2", "5001"), MsgInputError, kRange1, kRange2},
    // The key filter lets '%' and the apostrophe through; pasted text is not filtered.
    {"FirstWaitPercent", nullptr, type("Edit1", "1%"), MsgError,
     QStringLiteral("'1%' не є цілим числом"), ""},
    {"NextWaitApostrophe", nullptr, type("Edit2", "1'0"), MsgError,
     QStringLiteral("'1'0' не є цілим числом"), ""},
    {"NoAbonentChosen",
     [](ConnectDialogTest& t) {
         t.setKeys({{"CURR_PAR", "Conn_Prz", "1"},
                    {"ABONENTS_CURR_PAR", "users_num", "2"},
                    {"ABONENTS_CURR_PAR", "user_index", "5"}});
     },
     nullptr, MsgInputError, kNotAll, ""},
};

INSTANTIATE_TEST_SUITE_P(Input, ConnectRefused, ::testing::ValuesIn(kRefused),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConnectDialogTest, UnknownLinkTypeShowsTheSerialPageWithoutAType)
{
    setKeys({{"CURR_PAR", "Conn_Prz", "7"}});
    open();
    EXPECT_EQ(combo("ComboBox4")->currentIndex(), -1);
    EXPECT_TRUE(child<QWidget>("pn_dir")->isVisible());
    EXPECT_EQ(ConnSet().cur.Conn_Prz, 7) << "opening the dialog changes nothing";
}

// The waits at the ends of their ranges, and the attempts as the settings file gives them,
// from the fewest to the most the list offers.
TEST_F(ConnectDialogTest, WaitsAtTheEndsOfTheirRangesConnect)
{
    const struct {
        const char* wait;
        const char* timeout;
        int attempts;
    } cases[] = {{"1", "55", 1}, {"120", "5000", 5}};
    for (const auto& [wait, timeout, attempts] : cases) {
        SCOPED_TRACE(std::string(wait) + " s, " + timeout + " ms");
        setKeys({{"DIR_CONN_PAR", "Repeat", QByteArray::number(attempts)}});
        open();
        EXPECT_EQ(combo("ComboBox3")->currentText(), QStringLiteral(" %1").arg(attempts));
        edit("Edit1")->setText(wait);
        edit("Edit2")->setText(timeout);
        pressConnect();

        EXPECT_TRUE(op.asked.isEmpty());
        EXPECT_TRUE(dialog->Connected);
        EXPECT_GE(op.busyOnCount, 1) << "the wait cursor during the version query";
        EXPECT_EQ(op.busyDepth, 0);
        EXPECT_FALSE(dialog->isVisible());
        ASSERT_NE(link.port, nullptr);
        EXPECT_EQ(link.replyTimeout, QString(wait).toInt() * 1000);
        EXPECT_EQ(link.interByteTimeout, QString(timeout).toInt());
        EXPECT_EQ(link.attemptCount, attempts);

        ConnSettingsState stored;
        ReadConnSettings(stored, program.settingsPath());
        EXPECT_EQ(stored.cur.WaitTime, QString(wait).toInt());
        EXPECT_EQ(stored.cur.TimeOut, QString(timeout).toInt());
        EXPECT_EQ(stored.cur.COMPort, kSimCom);
        EXPECT_EQ(stored.cur.Repeat, attempts);
        EXPECT_EQ(stored.cur.Rate, 9600);
    }
    ASSERT_GE(sim.frameCount(), 1);
    EXPECT_EQ(sim.frames().last().code, 0x01) << "the version is asked";
}

TEST_F(ConnectDialogTest, ConnectingAgainWithTheSameSettingsLeavesTheFileAlone)
{
    open();
    pressConnect();
    ASSERT_TRUE(dialog->Connected);
    const QByteArray bytes = FileBytes(program.settingsPath());
    const QDateTime written = QFileInfo(program.settingsPath()).lastModified();

    open();
    pressConnect();
    ASSERT_TRUE(dialog->Connected);
    EXPECT_EQ(FileBytes(program.settingsPath()), bytes);
    EXPECT_EQ(QFileInfo(program.settingsPath()).lastModified(), written);
}

// "Перевіряти запис" lies below the pages, within the dialog on both, shows the setting and is
// stored with the other settings when the dialog connects.
TEST_F(ConnectDialogTest, TheVerifyCheckBoxShowsAndStoresTheSetting)
{
    setKeys({{"QEL2_SERV", "VerifyWrites", "0"}});
    open();
    auto* verify = child<QCheckBox>("CheckVerify");
    EXPECT_EQ(verify->text(), "Перевіряти запис");
    EXPECT_FALSE(verify->isChecked());
    for (const char* page : {"pn_dir", "pn_ethr"}) {
        SCOPED_TRACE(page);
        chooseType(QByteArray(page) == "pn_dir" ? 0 : 1);
        EXPECT_TRUE(verify->isVisible());
        const QRect box = verify->geometry();
        EXPECT_TRUE(dialog->rect().contains(box));
        EXPECT_GE(box.top(), child<QWidget>(page)->geometry().bottom()) << "below the page";
        EXPECT_LT(box.bottom(), child<QWidget>("BitBtn1")->geometry().top()) << "above the buttons";
    }
    chooseType(0);

    ClickWidget(verify, QPoint(8, verify->height() / 2)); // on its box
    ASSERT_TRUE(verify->isChecked());
    EXPECT_FALSE(ConnSet().cur.VerifyWrites) << "stored only with the other settings";
    pressConnect();
    ASSERT_TRUE(dialog->Connected);
    EXPECT_TRUE(ConnSet().cur.VerifyWrites);
    ConnSettingsState stored;
    ReadConnSettings(stored, program.settingsPath());
    EXPECT_TRUE(stored.cur.VerifyWrites);
    EXPECT_TRUE(FileBytes(program.settingsPath()).contains("[QEL2_SERV]\r\nVerifyWrites=1\r\n"));
}

TEST_F(ConnectDialogTest, OnlyFirmwareVersion39IsServed)
{
    for (int version : {38, 40}) {
        SCOPED_TRACE(version);
        op.asked.clear();
        sim.setVersion(quint8(version));
        open();
        pressConnect();
        ASSERT_EQ(op.asked.size(), 1);
        EXPECT_EQ(op.asked[0].kind, MsgNotice);
        EXPECT_EQ(op.asked[0].line1, QStringLiteral("Версія ПО пристрою %1").arg(version));
        EXPECT_EQ(op.asked[0].line2, "Програма обслуговує пристрої QEL_2 версією 39");
        EXPECT_FALSE(dialog->Connected);
        EXPECT_TRUE(dialog->isVisible()) << "another try is possible";
    }
}

TEST_F(ConnectDialogTest, APortThatCannotBeOpenedIsNamedWithTheReason)
{
    open();
    sim.stop(); // the port vanishes after the list was made
    pressConnect();
    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].kind, MsgError);
    EXPECT_EQ(op.asked[0].line1, "Комунікаційний порт СОМ7 недоступний");
    EXPECT_TRUE(op.asked[0].line1.contains(QStringLiteral("СОМ"))) << "Cyrillic letters";
    EXPECT_TRUE(op.asked[0].line2.contains(sim.slavePath()) ||
                op.asked[0].line2.contains(QStringLiteral("/dev/pts/")))
        << op.asked[0].line2.toStdString();
    EXPECT_EQ(link.port, nullptr);
    EXPECT_FALSE(dialog->Connected);
}

TEST_F(ConnectDialogTest, ASilentDeviceIsOfferedRetriesAndNoLeavesTheDialogOpen)
{
    SimSerialFaults faults;
    faults.silent = true;
    sim.setFaults(faults);
    setKeys({{"DIR_CONN_PAR", "Repeat", "1"}, {"DIR_CONN_PAR", "WaitTime", "1"}});
    open();
    pressConnect();
    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].kind, MsgRetry);
    EXPECT_FALSE(dialog->Connected);
    EXPECT_TRUE(dialog->isVisible());
}

// The operator acts while the dialog asks the device for its version. The input does not
// reach the dialog; its close box is carried out once the exchange has ended.
TEST_F(ConnectDialogTest, InputDuringTheVersionQuery)
{
    struct Case {
        const char* name;
        Input input;
        bool deviceAnswers; // late; otherwise it stays silent and the retry question gets "Ні"
        // After the exchange:
        bool open;      // the dialog is still shown
        bool connected; // Connected, and the dialog accepted
        int questions;
    };
    const Case cases[] = {
        // The close wins over a late answer: the operator left, so the link does not count.
        {"CloseBoxThenLateAnswer", CloseBox, true, false, false, 0},
        {"CloseBoxThenNoAnswer", CloseBox, false, false, false, 1},
        // Esc, "Вихід" and the type list do not act while the device is asked.
        {"EscapeThenLateAnswer", Escape, true, false, true, 0},
        {"ExitThenLateAnswer", ExitButton, true, false, true, 0},
        {"ExitThenNoAnswer", ExitButton, false, true, false, 1},
        {"TypeSwitchThenLateAnswer", TypeSwitch, true, false, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimSerialFaults faults;
        if (c.deviceAnswers)
            faults.firstByteDelayMs = 600;
        else
            faults.silent = true;
        sim.setFaults(faults);
        setKeys({{"DIR_CONN_PAR", "Repeat", "1"},
                 {"DIR_CONN_PAR", "WaitTime", c.deviceAnswers ? "10" : "1"}});
        op.asked.clear();
        ReleaseLink(link);
        open();

        DuringExchange input([&] {
            give(c.input);
            EXPECT_TRUE(dialog->isVisible()) << "nothing closes while the device is asked";
        });
        pressConnect();

        ASSERT_TRUE(input.acted());
        EXPECT_EQ(dialog->isVisible(), c.open);
        EXPECT_EQ(dialog->Connected, c.connected);
        if (!c.open) {
            EXPECT_EQ(dialog->result(), c.connected ? QDialog::Accepted : QDialog::Rejected);
        }
        EXPECT_EQ(op.asked.size(), c.questions);
        EXPECT_NE(link.port, nullptr) << "the link was not released under the exchange";
        EXPECT_EQ(link.refusedCommands, 0u);
        EXPECT_EQ(ConnSet().cur.Conn_Prz, 0) << "still the serial link";
        EXPECT_EQ(combo("ComboBox4")->currentIndex(), 0);
        EXPECT_EQ(sim.frameCount(), 1);
        sim.clearLog();
    }
}

TEST_F(ConnectDialogTest, ExitReleasesTheLinkAndClearsTheStatusPanels)
{
    open();
    pressConnect();
    ASSERT_NE(link.port, nullptr);
    open();
    for (int panel = 0; panel < StatusLine::kPanelCount; ++panel)
        bar.setText(panel, QStringLiteral("p%1").arg(panel));
    child<QPushButton>("BitBtn2")->click();
    EXPECT_EQ(link.port, nullptr);
    EXPECT_FALSE(dialog->Connected);
    EXPECT_FALSE(dialog->isVisible());
    for (int panel = 0; panel <= 2; ++panel)
        EXPECT_EQ(bar.text(panel), "") << panel;
    EXPECT_EQ(bar.text(3), "p3");
}

TEST_F(ConnectDialogTest, AbonentListOffersANewAbonentWhileThereIsRoom)
{
    struct Case {
        int users;
        int userIndex;
        int expectedCount;
        int expectedSelection;
    };
    for (const Case& c : {Case{0, 0, 1, -1}, Case{3, 1, 4, 1}, Case{3, 3, 4, 3}, Case{3, 9, 4, -1},
                          Case{200, 199, 200, 199}}) {
        SCOPED_TRACE(c.users);
        ConnSettings& s = ConnSet().cur;
        s.Conn_Prz = 1;
        s.book.users_num = quint8(c.users);
        s.book.user_index = quint8(c.userIndex);
        for (int i = 0; i < c.users; ++i)
            SetAbonentName(s.book.abonents[std::size_t(i)], "abonent " + QByteArray::number(i));
        open();
        QComboBox* list = combo("ComboBox6");
        EXPECT_EQ(list->count(), c.expectedCount);
        EXPECT_EQ(list->currentIndex(), c.expectedSelection);
        EXPECT_EQ(list->maxVisibleItems(), 15);
        EXPECT_EQ(list->findText("Новий абонент") >= 0, c.users < 200);
        if (c.users > 0) {
            EXPECT_EQ(list->itemText(0), "abonent 0");
        }
    }
}

// "Новий абонент" on the Ethernet page opens the entry form; leaving it without an entry
// stores nothing and connects nowhere (there is no address to send to).
TEST_F(ConnectDialogTest, ANewAbonentLeftWithoutAnEntryConnectsNowhere)
{
    setKeys({{"CURR_PAR", "Conn_Prz", "1"}});
    const QByteArray before = FileBytes(program.settingsPath());
    open();
    combo("ComboBox6")->setCurrentIndex(0); // "Новий абонент" of the empty book
    ModalAnswer entry("BitBtn5");           // "Відмінити" of the entry form
    pressConnect();
    ASSERT_TRUE(entry.answered());
    EXPECT_EQ(entry.seen().caption, " Параметри абонента (Ethernet-інтерфейс)");
    EXPECT_TRUE(op.asked.isEmpty());
    EXPECT_EQ(ConnSet().cur.book.users_num, 0);
    EXPECT_EQ(FileBytes(program.settingsPath()), before);
    EXPECT_EQ(link.sendSocket, nullptr) << "no socket was opened";
    EXPECT_FALSE(dialog->Connected);
    EXPECT_TRUE(dialog->isVisible());
}

// An abonent book accepted in its dialog is written when the connection dialog ends without
// a link, however it ends; a book left with "Відмінити" leaves the file as it was.
TEST_F(ConnectDialogTest, AnAcceptedBookIsKeptWhenTheDialogEndsWithoutALink)
{
    const struct {
        const char* name;
        const char* bookButton; // "Прийняти" or "Відмінити" of the abonent book
        Input end;
        bool written;
    } cases[] = {
        {"AcceptedThenExit", "BitBtn4", ExitButton, true},
        {"AcceptedThenCloseBox", "BitBtn4", CloseBox, true},
        {"AcceptedThenEscape", "BitBtn4", Escape, true},
        {"CancelledThenExit", "BitBtn5", ExitButton, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        setKeys({{"CURR_PAR", "Conn_Prz", "1"},
                 {"ABONENTS_CURR_PAR", "users_num", "2"},
                 {"ABONENTS_CURR_PAR", "user_index", "0"},
                 {"ABONENTS_CURR_PAR", "sort_prz", "1"},
                 {"ETHERNET_ABONENT_1", "user_name", "Bravo"},
                 {"ETHERNET_ABONENT_1", "ip_adr", "16777226"}, // 10.0.0.1
                 {"ETHERNET_ABONENT_2", "user_name", "alpha"},
                 {"ETHERNET_ABONENT_2", "ip_adr", "33554442"}}); // 10.0.0.2
        const QByteArray before = FileBytes(program.settingsPath());
        open();
        {
            ModalAnswer book(c.bookButton);
            book.inspect = [](QWidget* d) {
                d->findChild<QAbstractButton*>("SpeedButton1")->click(); // order by name
            };
            child<QPushButton>("BitBtn6")->click();
            ASSERT_TRUE(book.answered());
        }
        ASSERT_TRUE(dialog->isVisible());
        give(c.end);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_FALSE(dialog->Connected);

        ConnSettingsState stored;
        ReadConnSettings(stored, program.settingsPath());
        if (c.written) {
            EXPECT_EQ(stored.cur.book, ConnSet().cur.book);
            EXPECT_EQ(stored.cur.book.sort_prz, 0);
            EXPECT_EQ(AbonentName(stored.cur.book.abonents[0]), "alpha");
            EXPECT_EQ(ConnSet().saved.book, ConnSet().cur.book) << "the saved copy follows";
        } else {
            EXPECT_EQ(FileBytes(program.settingsPath()), before);
        }
        EXPECT_TRUE(op.asked.isEmpty());
    }
}

TEST_F(ConnectDialogTest, AbonentBookButtonRefillsTheListOnlyWhenAccepted)
{
    ConnSettings& s = ConnSet().cur;
    s.Conn_Prz = 1;
    s.book.users_num = 2;
    s.book.user_index = 0;
    s.book.sort_prz = 1; // by address: the book opens in this order
    SetAbonentName(s.book.abonents[0], "Bravo");
    s.book.abonents[0].ip_adr = {10, 0, 0, 1};
    SetAbonentName(s.book.abonents[1], "alpha");
    s.book.abonents[1].ip_adr = {10, 0, 0, 2};
    open();
    QComboBox* list = combo("ComboBox6");
    ASSERT_EQ(list->itemText(0), "Bravo");

    struct Case {
        const char* button;
        QStringList items;
        int selected;
    };
    // The list sorts by name when its name button is pressed; "Bravo" stays current.
    for (const Case& c : {Case{"BitBtn5", {"Bravo", "alpha", "Новий абонент"}, 0},
                          Case{"BitBtn4", {"alpha", "Bravo", "Новий абонент"}, 1}}) {
        SCOPED_TRACE(c.button);
        ModalAnswer answer(c.button);
        answer.inspect = [](QWidget* book) {
            book->findChild<QAbstractButton*>("SpeedButton1")->click();
        };
        child<QPushButton>("BitBtn6")->click();
        ASSERT_TRUE(answer.answered());
        EXPECT_EQ(answer.seen().caption, " Список абонентів (Ethernet-інтерфейс)");
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->itemText(i);
        EXPECT_EQ(items, c.items);
        EXPECT_EQ(list->currentIndex(), c.selected);
        EXPECT_EQ(bar.text(0), " IP-адр. 10.0.0.1");
    }
}

// The main window with the real dialog: the menu is the working surface after a serial
// connection, and "Вихід" leaves it without the device items.
class ConnectFlow : public ConnectDialogTest
{
protected:
    void SetUp() override
    {
        ConnectDialogTest::SetUp();
        if (HasFatalFailure())
            return;
        QFile exe(program.path() + "/qel2_serv");
        ASSERT_TRUE(exe.open(QIODevice::WriteOnly));
        window = std::make_unique<TFormMain>(QStringList{exe.fileName()});
        ASSERT_TRUE(window->FormCreate());
    }
    void TearDown() override
    {
        window.reset();
        ConnectDialogTest::TearDown();
        Program().connected = 0;
    }
    bool enabled(const char* name) { return window->findChild<QAction*>(name)->isEnabled(); }

    std::unique_ptr<TFormMain> window;
};

TEST_F(ConnectFlow, MenuAfterConnectAndAfterExit)
{
    const char* deviceItems[] = {"Nrdcnf", "NWr_Config", "NWorkPar", "NData"};
    {
        ModalAnswer answer("BitBtn1");
        window->TimerStartTimer();
        ASSERT_TRUE(answer.answered());
        EXPECT_EQ(answer.seen().caption, " Встановлення зв'язку з пристроєм");
    }
    EXPECT_EQ(Program().connected, 1);
    ASSERT_NE(window->linkContext()->port, nullptr);
    for (const char* name : deviceItems)
        EXPECT_TRUE(enabled(name)) << name;
    EXPECT_EQ(window->statusLine()->text(0), " COM7,   9600 біт/с");

    {
        ModalAnswer answer("BitBtn2");
        window->TimerStartTimer();
        ASSERT_TRUE(answer.answered());
    }
    EXPECT_EQ(Program().connected, 0);
    EXPECT_EQ(window->linkContext()->port, nullptr);
    for (const char* name : deviceItems)
        EXPECT_FALSE(enabled(name)) << name;
    for (const char* name : {"Nconnect", "Nvers", "NExit", "NNewcnf"})
        EXPECT_TRUE(enabled(name)) << name;
    EXPECT_EQ(window->statusLine()->text(0), "");
}

TEST_F(ConnectFlow, TheConnectedDeviceShowsItsMac)
{
    sim.setMac({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});
    {
        ModalAnswer answer("BitBtn1");
        window->TimerStartTimer();
        ASSERT_TRUE(answer.answered());
    }
    ModalAnswer mac("BitBtn5");
    QStringList shown;
    mac.inspect = [&](QWidget* dialog) {
        for (int i = 1; i <= 6; ++i)
            shown << dialog->findChild<QLabel*>(QStringLiteral("ma%1").arg(i))->text();
    };
    window->findChild<QAction*>("N2")->trigger();
    ASSERT_TRUE(mac.answered());
    EXPECT_EQ(mac.seen().caption, " Команда пристрою");
    EXPECT_EQ(shown, QStringList({"00", "1A", "2B", "3C", "4D", "5E"}));
}

} // namespace
