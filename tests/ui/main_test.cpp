// The main window: start-up, the tw option, the connect flow and the menu state.

#include "app/main.h"
#include "config/program.h"
#include "config/rd_wr_ini.h"
#include "link/qelbox.h"
#include "support/scripted_operator.h"
#include "support/ui/modal_answer.h"
#include "support/unprivileged.h"
#include "widgets/statusline.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace
{

const QString kCaptionPrefix = QStringLiteral("Програма qel2_serv.exe  від ");
const QDateTime kWritten(QDate(2023, 5, 17), QTime(14, 3, 22));

// A program file in a temporary directory, and the process-wide values reset around each test.
class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        Program() = ProgramValues();
        ConnSet() = ConnSettingsState();
        binDir = tmp.path() + "/bin";
        program = makeProgram(binDir, kWritten);
    }
    void TearDown() override
    {
        Program() = ProgramValues();
        ConnSet() = ConnSettingsState();
    }

    // The program file, named unlike the real one: the caption must not depend on it.
    static QString makeProgram(const QString& dir, const QDateTime& written)
    {
        QDir().mkpath(dir);
        const QString path = dir + "/svc-tool";
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("program");
        f.close();
        EXPECT_TRUE(f.open(QIODevice::ReadWrite));
        EXPECT_TRUE(f.setFileTime(written, QFileDevice::FileModificationTime));
        return path;
    }

    static QAction* item(TFormMain& w, const char* name)
    {
        QAction* a = w.findChild<QAction*>(name);
        EXPECT_NE(a, nullptr) << name;
        return a;
    }

    static bool anyTopLevelVisible(TFormMain& w)
    {
        for (QAction* a : w.menuBar()->actions()) {
            if (a->isVisible())
                return true;
        }
        return false;
    }

    // Lets the start timer fire and the connect flow run to its end.
    static void runStartTimer(TFormMain& w)
    {
        QElapsedTimer clock;
        clock.start();
        while (!anyTopLevelVisible(w) && clock.elapsed() < 20000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_TRUE(anyTopLevelVisible(w)) << "the connect flow did not run";
    }

    QTemporaryDir tmp;
    QString binDir;
    QString program;
    ScriptedOperator op;
};

TEST_F(MainWindowTest, StartUpMakesDirectoriesReadsSettingsAndWaitsForTheTimer)
{
    QDir().mkpath(binDir + "/CONFIG");
    QFile keep(binDir + "/CONFIG/old.cnf");
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
    keep.close();
    ConnSet().cur.COMPort = 77; // replaced by the defaults of the missing settings file

    TFormMain w({program});
    ASSERT_TRUE(w.FormCreate());

    EXPECT_EQ(Program().programDir, binDir + "/");
    EXPECT_TRUE(QFileInfo(binDir + "/INI").isDir());
    EXPECT_TRUE(QFileInfo::exists(binDir + "/CONFIG/old.cnf")) << "existing CONFIG is kept";
    EXPECT_EQ(Program().settingsPath, binDir + "/INI/qel_conn.ini");
    EXPECT_EQ(ConnSet().cur.COMPort, 1);
    EXPECT_EQ(Program().ethTimeout, 50);
    EXPECT_GT(Program().counterFrequency, 0u);
    EXPECT_EQ(Program().connected, 0);

    ASSERT_NE(w.linkContext(), nullptr);
    ASSERT_TRUE(w.linkContext()->statusPanel);
    w.linkContext()->statusPanel("Обмін...");
    EXPECT_EQ(w.statusLine()->text(3), "Обмін...");

    const QString caption = w.windowTitle();
    EXPECT_TRUE(caption.startsWith(kCaptionPrefix +
                                   QLocale().toString(kWritten.date(), QLocale::ShortFormat) + " "))
        << caption.toStdString();
    EXPECT_TRUE(caption.contains("03:22")) << caption.toStdString();

    EXPECT_FALSE(anyTopLevelVisible(w));
    const auto* timer = w.findChild<QTimer*>("TimerStart");
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_TRUE(timer->isSingleShot());
    EXPECT_EQ(timer->interval(), 100);
    EXPECT_TRUE(op.asked.isEmpty());
}

TEST_F(MainWindowTest, CaptionLeavesOutTheTimeAtMidnight)
{
    const QDateTime midnight(QDate(2023, 5, 17), QTime(0, 0));
    const QString path = makeProgram(tmp.path() + "/night", midnight);
    TFormMain w({path});
    ASSERT_TRUE(w.FormCreate());
    EXPECT_EQ(w.windowTitle(),
              kCaptionPrefix + QLocale().toString(midnight.date(), QLocale::ShortFormat));
}

struct DirCase {
    const char* name;
    enum Kind { Absolute, Relative, Symlink, BareName } kind;
};

void PrintTo(const DirCase& c, std::ostream* os)
{
    *os << c.name;
}

class ProgramDirectory : public MainWindowTest, public ::testing::WithParamInterface<DirCase>
{
};

// The directory is the one the program was started from: symbolic links are not followed,
// a relative path is taken from the working directory, a bare name from PATH.
TEST_P(ProgramDirectory, IsTheDirectoryOfArgumentZero)
{
    QString arg0 = program, expected = binDir + "/";
    const QString oldCwd = QDir::currentPath();
    const QByteArray oldPath = qgetenv("PATH");
    switch (GetParam().kind) {
    case DirCase::Absolute:
        break;
    case DirCase::Relative:
        QDir::setCurrent(tmp.path());
        arg0 = "bin/svc-tool";
        break;
    case DirCase::Symlink:
        QDir().mkpath(tmp.path() + "/link");
        ASSERT_TRUE(QFile::link(program, tmp.path() + "/link/svc-tool"));
        QFile(program).setPermissions(QFile(program).permissions() | QFile::ExeOwner);
        arg0 = tmp.path() + "/link/svc-tool";
        expected = tmp.path() + "/link/";
        break;
    case DirCase::BareName:
        QFile(program).setPermissions(QFile(program).permissions() | QFile::ExeOwner);
        qputenv("PATH", binDir.toLocal8Bit());
        arg0 = "svc-tool";
        break;
    }
    TFormMain w({arg0});
    const bool created = w.FormCreate();
    QDir::setCurrent(oldCwd);
    qputenv("PATH", oldPath);
    ASSERT_TRUE(created);
    EXPECT_EQ(Program().programDir, expected);
    EXPECT_TRUE(QFileInfo(expected + "INI").isDir());
    EXPECT_TRUE(w.windowTitle().contains("03:22")) << "the date of the program file";
}

INSTANTIATE_TEST_SUITE_P(Arg0, ProgramDirectory,
                         ::testing::Values(DirCase{"Absolute", DirCase::Absolute},
                                           DirCase{"Relative", DirCase::Relative},
                                           DirCase{"Symlink", DirCase::Symlink},
                                           DirCase{"BareName", DirCase::BareName}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, ReadOnlyProgramDirectoryFallsBackToAppData)
{
    RUN_UNPRIVILEGED(); // root writes into a read-only directory
    ASSERT_TRUE(QFile::setPermissions(binDir, QFile::ReadOwner | QFile::ExeOwner));
    TFormMain w({program});
    const bool created = w.FormCreate();
    QFile::setPermissions(binDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_TRUE(created);
    const QString appData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    EXPECT_EQ(Program().programDir, appData + "/");
    EXPECT_TRUE(QFileInfo(appData + "/INI").isDir());
    QDir(appData).removeRecursively();
}

struct TwCase {
    const char* name;
    QStringList params;
    bool ends;
    qint32 timeout; // when the program goes on
};

void PrintTo(const TwCase& c, std::ostream* os)
{
    *os << c.name;
}

class TwOption : public MainWindowTest, public ::testing::WithParamInterface<TwCase>
{
};

TEST_P(TwOption, SetsTheTimeOutOrEndsTheProgram)
{
    const TwCase& c = GetParam();
    TFormMain w(QStringList{program} + c.params);
    const bool goesOn = w.FormCreate();
    EXPECT_EQ(goesOn, !c.ends);
    if (c.ends) {
        ASSERT_EQ(op.asked.size(), 1);
        EXPECT_EQ(op.asked[0].kind, 6);
        EXPECT_EQ(op.asked[0].line1, "Час очікування відповіді при зв'язку Ethernet");
        EXPECT_EQ(op.asked[0].line2, "поза припустимого діапазону (1...100000)");
        EXPECT_EQ(w.linkContext(), nullptr) << "start-up stops at the option";
        EXPECT_FALSE(QFileInfo::exists(binDir + "/INI"));
        EXPECT_EQ(Program().ethTimeout, 50);
    } else {
        EXPECT_TRUE(op.asked.isEmpty());
        EXPECT_EQ(Program().ethTimeout, c.timeout);
        EXPECT_NE(w.linkContext(), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, TwOption,
    ::testing::Values(
        TwCase{"Zero", {"tw", "0"}, true, 0}, TwCase{"Negative", {"tw", "-5"}, true, 0},
        TwCase{"AboveTheRange", {"tw100001"}, true, 0}, TwCase{"NotANumber", {"twabc"}, true, 0},
        TwCase{"BeyondThirtyTwoBits", {"tw", "4294967297"}, true, 0},
        TwCase{"HugeNumber", {"tw99999999999999999999999"}, true, 0},
        TwCase{"SignOnly", {"tw", "-"}, true, 0}, TwCase{"One", {"tw", "1"}, false, 1},
        TwCase{"UpperLimit", {"tw100000"}, false, 100000},
        TwCase{"AfterOtherParameters", {"-x", "tw", "+250"}, false, 250},
        TwCase{"OnlyBlanksBehind", {"tw", "   "}, false, 50},
        TwCase{"NothingBehind", {"tw"}, false, 50}, TwCase{"NoParameters", {}, false, 50}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, TwInTheProgramPathIsNoOption)
{
    const QString path = makeProgram(tmp.path() + "/network", kWritten);
    for (const QStringList& params : {QStringList{}, QStringList{"-v"}}) {
        Program() = ProgramValues();
        TFormMain w(QStringList{path} + params);
        EXPECT_TRUE(w.FormCreate());
        EXPECT_EQ(Program().ethTimeout, 50);
    }
    EXPECT_TRUE(op.asked.isEmpty());
}

// Each item of the menu: caption (trailing blanks included), the menu that holds it, tag.
struct MenuItem {
    const char* name;
    QString caption;
    const char* parent; // nullptr for the menu bar
    int tag;
};

const MenuItem kMenu[] = {
    {"N1", "Кофігурування", nullptr, 0},
    {"N5", "Файли  конфігурації          ", "N1", 0},
    {"NNewcnf", "Створення нового файлу конфігурації", "N5", 0},
    {"NEditcnf", "Перегляд/ Коригування файлу конфігурації", "N5", 1},
    {"NWr_Config", "Конфігурування пристрою", "N1", 0},
    {"Nrdcnf", "Збереження  параметрів конфігурації в файлі", "N1", 0},
    {"NWorkPar", "Параметри", nullptr, 0},
    {"NEth_Par", "Параметри зв'зку Ethernet", "NWorkPar", 0},
    {"NPor1", "Порт 1", "NWorkPar", 0},
    {"NPort2", "Порт 2", "NWorkPar", 0},
    {"NData", "Дані", nullptr, 0},
    {"N11", "Стан TCP підключення порту 1", "NData", 0},
    {"N21", "Стан TCP підключення порту 2", "NData", 0},
    {"N2", "МАС адреса", "NData", 0},
    {"Nconnect", "Зв'язок з іншим пристроєм", nullptr, 0},
    {"Nvers", "Версія", nullptr, 0},
    {"NExit", "Вихід", nullptr, 0},
};

TEST_F(MainWindowTest, MenuTreeCaptionsAndTags)
{
    TFormMain w({program});
    QList<QAction*> expectedOrder[3];
    QStringList topLevel;
    for (const MenuItem& m : kMenu) {
        QAction* a = item(w, m.name);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->text(), m.caption) << m.name;
        EXPECT_EQ(a->property("tag").toInt(), m.tag) << m.name;
        const QList<QAction*> siblings =
            m.parent ? w.findChild<QMenu*>(m.parent)->actions() : w.menuBar()->actions();
        EXPECT_TRUE(siblings.contains(a))
            << m.name << " belongs to " << (m.parent ? m.parent : "bar");
        if (!m.parent) {
            topLevel << m.name;
            EXPECT_FALSE(a->icon().isNull()) << m.name << " has a picture";
        }
    }
    QStringList barOrder;
    for (QAction* a : w.menuBar()->actions())
        barOrder << a->objectName();
    EXPECT_EQ(barOrder, topLevel);
    EXPECT_EQ(w.findChild<QMenu*>("N1")->actions().size(), 3);
    EXPECT_EQ(w.findChild<QMenu*>("N5")->actions().size(), 2);
}

TEST_F(MainWindowTest, ShowSizesTheWindowAndTheStatusLine)
{
    TFormMain w({program});
    ASSERT_TRUE(w.FormCreate());
    w.show();
    QApplication::processEvents();
    StatusLine* bar = w.statusLine();
    const int others = bar->panelWidth(0) + bar->panelWidth(1) + bar->panelWidth(3);
    EXPECT_EQ(w.size(), QSize(qMax(734, others + 5), 256));
    EXPECT_EQ(bar->height(), 28);
    EXPECT_EQ(bar->width(), w.width()) << "the status line spans the window";
    EXPECT_EQ(bar->panelWidth(2), bar->width() - others - 5);
    EXPECT_GE(bar->geometry().bottom(), w.centralWidget()->height() - 1) << "at the bottom";

    // The longest texts of each panel are shown whole, and panel 3 ends inside the window.
    const QString name20 = QString(20, QChar(u'Ш'));
    const struct {
        int panel;
        QString text;
    } longest[] = {
        {0, " COM255,   256000 біт/с"},
        {0, " IP-адр. 255.255.255.255"},
        {1, "Пристрій \"" + name20 + "\".   MAC_адр. DD:DD:DD:DD:DD:DD"},
        {1, "Пристрій \"" + QString(20, QChar(u'W')) + "\".   MAC_адр. 00:1A:2B:3C:4D:5E"},
        {3, "Обмін..."},
    };
    for (const auto& l : longest) {
        SCOPED_TRACE(l.text.toStdString());
        auto* label = bar->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(l.panel));
        ASSERT_NE(label, nullptr);
        label->setText(l.text);
        EXPECT_LE(label->sizeHint().width(), label->width());
        const int designWidths[] = {110, 330, 360, 50};
        EXPECT_GE(bar->panelWidth(l.panel), designWidths[l.panel]) << "never below the design";
    }
    auto* last = bar->findChild<QLabel*>("StatusPanel3");
    EXPECT_LE(last->geometry().right(), bar->width());
    w.close();
}

// A larger font makes the panels wider; they never get narrower than their design widths.
TEST_F(MainWindowTest, StatusPanelsFollowTheFont)
{
    StatusLine bar;
    bar.fitTexts(0, {" COM255,   256000 біт/с"});
    bar.fitTexts(3, {"Обмін..."});
    const int normal = bar.panelWidth(0);
    EXPECT_GE(normal, 110);
    QFont big = bar.font();
    big.setPixelSize(40);
    bar.setFont(big);
    EXPECT_GT(bar.panelWidth(0), 3 * normal / 2);
    EXPECT_GT(bar.panelWidth(3), 50);
    QFont tiny = bar.font();
    tiny.setPixelSize(4);
    bar.setFont(tiny);
    EXPECT_EQ(bar.panelWidth(0), 110);
    EXPECT_EQ(bar.panelWidth(3), 50);
    EXPECT_EQ(bar.panelWidth(1), 330) << "a panel without texts keeps its design width";
}

TEST_F(MainWindowTest, NotConnectedStateAfterTheFlow)
{
    TFormMain w({program});
    ASSERT_TRUE(w.FormCreate());
    ConnSet().cur.Conn_Prz = 0;
    ConnSet().cur.COMPort = 3;
    ModalAnswer answer("BitBtn2"); // "Вихід" in the connection dialog
    runStartTimer(w);
    ASSERT_TRUE(answer.answered());
    EXPECT_EQ(answer.seen().caption, " Встановлення зв'язку з пристроєм");

    for (const MenuItem& m : kMenu)
        EXPECT_TRUE(item(w, m.name)->isVisible()) << m.name;
    for (const char* off : {"Nrdcnf", "NWr_Config", "NWorkPar", "NData"})
        EXPECT_FALSE(item(w, off)->isEnabled()) << off;
    for (const char* on : {"N1", "N5", "NNewcnf", "NEditcnf", "Nconnect", "Nvers", "NExit"})
        EXPECT_TRUE(item(w, on)->isEnabled()) << on;
    EXPECT_EQ(w.statusLine()->text(0), "");
    EXPECT_EQ(w.statusLine()->text(1), "");
    EXPECT_EQ(Program().connected, 0);
    EXPECT_FALSE(w.findChild<QTimer*>("TimerStart")->isActive()) << "one arming, one run";
    EXPECT_EQ(w.findChild<QWidget*>("Panel1")->palette().color(QPalette::Window),
              QColor(211, 211, 211));
}

// A main window whose connection dialog reports a given outcome and records the window's
// state while it is "open".
class ScriptedMain : public TFormMain
{
public:
    using TFormMain::TFormMain;

    bool connectResult = false;
    bool ethernetWorkRan = false;
    struct {
        QColor panel;
        bool menuShown = true;
        bool portOpen = true;
        int connected = -1;
        QString panel0, panel1;
    } during;

protected:
    bool RunConnectDialog() override
    {
        during.panel = findChild<QWidget*>("Panel1")->palette().color(QPalette::Window);
        during.menuShown = false;
        for (QAction* a : menuBar()->actions())
            during.menuShown |= a->isVisible();
        during.portOpen = linkContext()->port != nullptr;
        during.connected = Program().connected;
        during.panel0 = statusLine()->text(0);
        during.panel1 = statusLine()->text(1);
        return connectResult;
    }
    void RunEthernetWork() override
    {
        ethernetWorkRan = true;
        EXPECT_EQ(Program().connected, 1);
    }
};

TEST_F(MainWindowTest, SerialConnectionClosesTheOldLinkAndEnablesEverything)
{
    ScriptedMain w({program});
    ASSERT_TRUE(w.FormCreate());
    ConnSet().cur.Conn_Prz = 0;
    ConnSet().cur.COMPort = 3;
    ConnSet().cur.Rate = 9600;
    w.linkContext()->port = std::make_unique<QSerialPort>(); // the link of a previous flow
    Program().connected = 1;
    w.statusLine()->setText(1, "старий пристрій");
    w.connectResult = true;

    w.TimerStartTimer();

    EXPECT_EQ(w.during.panel, QColor(128, 128, 128));
    EXPECT_FALSE(w.during.menuShown);
    EXPECT_FALSE(w.during.portOpen) << "the old COM port is closed before the dialog";
    EXPECT_EQ(w.during.connected, 0);
    EXPECT_EQ(w.during.panel0, " COM3,   9600 біт/с");
    EXPECT_EQ(w.during.panel1, "");

    EXPECT_EQ(Program().connected, 1);
    EXPECT_FALSE(w.ethernetWorkRan);
    for (const MenuItem& m : kMenu) {
        EXPECT_TRUE(item(w, m.name)->isVisible()) << m.name;
        EXPECT_TRUE(item(w, m.name)->isEnabled()) << m.name;
    }
    EXPECT_EQ(w.statusLine()->text(0), " COM3,   9600 біт/с");
    EXPECT_EQ(w.findChild<QWidget*>("Panel1")->palette().color(QPalette::Window),
              QColor(211, 211, 211));
}

TEST_F(MainWindowTest, EthernetWorkEndsInTheNotConnectedState)
{
    ScriptedMain w({program});
    ASSERT_TRUE(w.FormCreate());
    ConnSettings& s = ConnSet().cur;
    s.Conn_Prz = 1;
    s.book.users_num = 1;
    s.book.abonents[0].ip_adr = {192, 168, 1, 100};
    w.connectResult = true;

    w.TimerStartTimer();

    EXPECT_EQ(w.during.panel0, " IP-адр. 192.168.1.100");
    EXPECT_TRUE(w.ethernetWorkRan);
    EXPECT_EQ(Program().connected, 0);
    EXPECT_FALSE(item(w, "NData")->isEnabled());
    EXPECT_FALSE(item(w, "NWorkPar")->isEnabled());
    EXPECT_TRUE(item(w, "Nconnect")->isEnabled());
    EXPECT_EQ(w.statusLine()->text(0), "");
    EXPECT_EQ(w.statusLine()->text(1), "");
}

TEST_F(MainWindowTest, ConnectItemRunsTheFlowAgainFromTheLoop)
{
    ScriptedMain w({program});
    ASSERT_TRUE(w.FormCreate());
    runStartTimer(w);
    w.during.connected = -1;

    item(w, "Nconnect")->trigger();
    EXPECT_EQ(w.during.connected, -1) << "the flow waits for the start timer";
    EXPECT_TRUE(w.findChild<QTimer*>("TimerStart")->isActive());

    QElapsedTimer clock;
    clock.start();
    while (w.during.connected == -1 && clock.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(w.during.connected, 0);
    EXPECT_TRUE(item(w, "Nconnect")->isVisible());
}

TEST_F(MainWindowTest, VersionItemShowsTheAboutBox)
{
    TFormMain w({program});
    ASSERT_TRUE(w.FormCreate());
    ModalAnswer answer("BitBtn1");
    item(w, "Nvers")->trigger();
    ASSERT_TRUE(answer.answered());
    EXPECT_EQ(answer.seen().size, QSize(540, 546));
    EXPECT_EQ(answer.seen().labels.value("Label1"), "QEL2_SERV");
}

TEST_F(MainWindowTest, ExitClosesTheLinkAndDestroysTheContext)
{
    TFormMain w({program});
    ASSERT_TRUE(w.FormCreate());
    w.show();
    w.linkContext()->port = std::make_unique<QSerialPort>();
    Program().connected = 1;
    item(w, "NExit")->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.linkContext(), nullptr);
    EXPECT_EQ(Program().connected, 0);
}

} // namespace
