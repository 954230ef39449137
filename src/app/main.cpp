#include "app/main.h"

#include "app/about.h"
#include "config/cp1251.h"
#include "config/devconfig.h"
#include "config/operator.h"
#include "config/program.h"
#include "config/rd_wr_ini.h"
#include "connect/all_param.h"
#include "connect/connect.h"
#include "link/comportfunctions.h"
#include "link/qelbox.h"
#include "widgets/menubarstyle.h"
#include "widgets/suplfunc.h"
#include "widgets/uiresources.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>

namespace
{

const QColor kPanelColor(211, 211, 211);       // 13882323
const QColor kPanelDialogColor(128, 128, 128); // 8421504 while the connection dialog is open

constexpr qint32 kTwMin = 1;
constexpr qint32 kTwMax = 100000;

enum class TwOption { Absent, Accepted, OutOfRange };

// The tw option: the first "tw" in the program's parameters, then a decimal integer as "%d"
// reads it (blanks skipped, a sign accepted, digits up to the first other character).
// Nothing but blanks behind "tw" means no option; anything else that is not a number in
// 1..100000, a number too big for 32 bits included, is out of range.
TwOption ReadTwOption(const QStringList& params, qint32* value)
{
    if (params.isEmpty())
        return TwOption::Absent;
    const QString line = params.join(QLatin1Char(' '));
    const qsizetype at = line.indexOf(QLatin1String("tw"));
    if (at < 0)
        return TwOption::Absent;

    qsizetype i = at + 2;
    while (i < line.size() && line.at(i).isSpace())
        ++i;
    if (i == line.size())
        return TwOption::Absent;

    bool negative = false;
    if (line.at(i) == QLatin1Char('+') || line.at(i) == QLatin1Char('-'))
        negative = line.at(i++) == QLatin1Char('-');
    qint64 magnitude = 0;
    qsizetype digits = 0;
    for (; i < line.size() && line.at(i) >= QLatin1Char('0') && line.at(i) <= QLatin1Char('9');
         ++i, ++digits) {
        magnitude = magnitude * 10 + (line.at(i).unicode() - u'0');
        if (magnitude > kTwMax) // also keeps a number of any length from overflowing
            return TwOption::OutOfRange;
    }
    if (digits == 0)
        return TwOption::OutOfRange;
    const qint64 v = negative ? -magnitude : magnitude;
    if (v < kTwMin || v > kTwMax)
        return TwOption::OutOfRange;
    *value = qint32(v);
    return TwOption::Accepted;
}

// Sizes the status panels for the longest texts they hold: the highest COM number at the
// highest rate or the longest address (panel 0), a device name of 20 of the font's widest
// letters with its MAC (panel 1), and the exchange indicator (panel 3).
void FitStatusPanels(StatusLine* bar)
{
    bar->fitTexts(0, {SerialLinkText(255, kComMaxRate), EthernetLinkText({255, 255, 255, 255})});
    const QFontMetrics metrics = bar->fontMetrics();
    QChar widest(u'W');
    for (int byte = 0x41; byte <= 0xFF; ++byte) {
        const QChar c = fromCp1251(QByteArray(1, char(byte))).at(0);
        if (c.isLetter() && metrics.horizontalAdvance(c) > metrics.horizontalAdvance(widest))
            widest = c;
    }
    const std::array<quint8, 6> mac = {0xDD, 0xDD, 0xDD, 0xDD, 0xDD, 0xDD};
    bar->fitTexts(1, {DeviceLineText(QString(kBoxNameSize, widest), mac)});
    bar->fitTexts(3, {ExchangeStatusText()});
}

// Every item of a menu level, and those of its submenus down to levels deep.
void ShowAndEnable(const QList<QAction*>& actions, int levels)
{
    for (QAction* a : actions) {
        a->setVisible(true);
        a->setEnabled(true);
        if (levels > 1 && a->menu())
            ShowAndEnable(a->menu()->actions(), levels - 1);
    }
}

} // namespace

TFormMain::TFormMain(const QStringList& args, QWidget* parent) : QMainWindow(parent), args_(args)
{
    InitUiResources();
    ui.setupUi(this);
    setPanelColor(kPanelColor);
    FitStatusPanels(ui.StatusBar1);

    // The menu bar draws pictures and captions; the style is a child of the window created
    // after the bar, so it outlives the bar when the window's children are destroyed.
    auto* barStyle = new MenuBarStyle;
    barStyle->setParent(this);
    ui.MainMenu1->setStyle(barStyle);

    // Submenus are found by name like the plain items: their menu actions carry the
    // menu's name. Every item has a tag; items sharing a handler tell it apart by it.
    for (QMenu* m : ui.MainMenu1->findChildren<QMenu*>())
        m->menuAction()->setObjectName(m->objectName());
    for (QAction* a : ui.MainMenu1->findChildren<QAction*>()) {
        if (!a->property("tag").isValid())
            a->setProperty("tag", 0);
    }

    TimerStart = new QTimer(this);
    TimerStart->setObjectName(QStringLiteral("TimerStart"));
    TimerStart->setSingleShot(true);
    TimerStart->setInterval(100);
    connect(TimerStart, &QTimer::timeout, this, &TFormMain::TimerStartTimer);

    onFlowItem(ui.NNewcnf, [this] { NPrepCnfClick(ui.NNewcnf); });
    onFlowItem(ui.NEditcnf, [this] { NPrepCnfClick(ui.NEditcnf); });
    onFlowItem(ui.NWr_Config, [this] { NWr_ConfigClick(); });
    onFlowItem(ui.Nrdcnf, [this] { NrdcnfClick(); });
    onFlowItem(ui.NEth_Par, [this] { NEth_ParClick(); });
    onFlowItem(ui.NPor1, [this] { NPor1Click(); });
    onFlowItem(ui.NPort2, [this] { NPort2Click(); });
    onFlowItem(ui.N11, [this] { N11Click(); });
    onFlowItem(ui.N21, [this] { N21Click(); });
    onFlowItem(ui.N2, [this] { N2Click(); });
    connect(ui.Nconnect, &QAction::triggered, this, &TFormMain::NconnectClick);
    connect(ui.Nvers, &QAction::triggered, this, &TFormMain::NversClick);
    connect(ui.NExit, &QAction::triggered, this, &TFormMain::NExitClick);
}

TFormMain::~TFormMain() = default;

TFormMain::FlowScope::FlowScope(TFormMain& window) : window_(window)
{
    ++window_.flows_;
}

TFormMain::FlowScope::~FlowScope()
{
    if (--window_.flows_ > 0 || !window_.closePending_)
        return;
    window_.closePending_ = false;
    // From the event loop, once the handler has returned to it.
    QTimer::singleShot(0, &window_, [w = &window_] { w->close(); });
}

void TFormMain::onFlowItem(QAction* item, std::function<void()> handler)
{
    connect(item, &QAction::triggered, this, [this, handler = std::move(handler)] {
        const FlowScope flow(*this);
        handler();
    });
}

bool TFormMain::FormCreate()
{
    if (!takeTwOption())
        return false;

    link_ = std::make_unique<LinkContext>();
    InitLinkContext(*link_);
    link_->statusPanel = [bar = ui.StatusBar1](const QString& text) {
        bar->setText(3, text);
        bar->repaint();
    };

    setProgramDirectory();
    setCaption();

    for (const QString& dir : {ConfigDirPath(), IniDirPath()}) {
        if (!QFileInfo(dir).isDir())
            QDir().mkdir(dir); // a failure shows later, in the file operations
    }
    Program().settingsPath = IniDirPath() + QStringLiteral("/qel_conn.ini");
    ReadConnSettings(ConnSet(), Program().settingsPath);

    // The exchange measures time with QElapsedTimer, which counts nanoseconds.
    Program().counterFrequency = 1000000000ull;

    hideTopLevelMenu();
    TimerStart->start();
    return true;
}

// False when the option is out of range: the operator is told and the program has to end.
bool TFormMain::takeTwOption()
{
    qint32 value = 0;
    switch (ReadTwOption(args_.mid(1), &value)) {
    case TwOption::Absent:
        return true;
    case TwOption::Accepted:
        Program().ethTimeout = value;
        return true;
    case TwOption::OutOfRange:
        break;
    }
    CurrentOperator().ask(MsgNotice,
                          QStringLiteral("Час очікування відповіді при зв'язку Ethernet"),
                          QStringLiteral("поза припустимого діапазону (1...100000)"));
    return false;
}

// The directory of the program file (argument 0 made absolute, symbolic links kept; a bare
// name is looked up the way the shell found it). When that directory cannot be written, as
// for an installed program, the user's application data directory holds the files instead.
void TFormMain::setProgramDirectory()
{
    const QString arg0 = QDir::fromNativeSeparators(args_.value(0));
    QString file;
    if (arg0.contains(QLatin1Char('/')))
        file = QFileInfo(arg0).absoluteFilePath();
    else if (!arg0.isEmpty())
        file = QStandardPaths::findExecutable(arg0);
    if (file.isEmpty())
        file = QCoreApplication::applicationFilePath();
    programFile_ = file;

    QString dir = QFileInfo(file).absolutePath();
    if (!QFileInfo(dir).isWritable()) {
        dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QDir().mkpath(dir);
    }
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    Program().programDir = dir;
}

// "Програма qel2_serv.exe  від " and the program file's last-write date and time in the
// locale's short date and long time formats; the time is left out at exactly midnight.
void TFormMain::setCaption()
{
    const QDateTime written = QFileInfo(programFile_).lastModified();
    const QLocale locale;
    QString when = locale.toString(written.date(), QLocale::ShortFormat);
    if (written.isValid() && written.time() != QTime(0, 0)) {
        // The long time format without the time zone, as a desktop's clock shows it.
        QString format = locale.timeFormat(QLocale::LongFormat);
        format.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b")));
        when += QLatin1Char(' ') + locale.toString(written.time(), format.trimmed());
    }
    setWindowTitle(QStringLiteral("Програма qel2_serv.exe  від %1").arg(when));
}

void TFormMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFormMain::FormShow()
{
    // 734 pixels wide, or wider where the status panels need more for their texts.
    StatusLine* bar = ui.StatusBar1;
    resize(qMax(734, bar->panelWidth(0) + bar->panelWidth(1) + bar->panelWidth(3) + 5), 256);
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
    // The status line spans the client area; lay it out at the new size before measuring.
    layout()->activate();
    ui.Panel1->layout()->activate();
    // Panel 2 takes what the others leave; with the design widths that is the status line's
    // width less those of panels 0 and 1, less 55.
    bar->setPanelWidth(2, bar->width() - bar->panelWidth(0) - bar->panelWidth(1) -
                              bar->panelWidth(3) - 5);
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    if (flows_ > 0) {
        closePending_ = true;
        event->ignore();
        return;
    }
    // No flow, yet something exchanges on the link: the close is refused rather than freeing
    // the context under it.
    if (link_ && link_->exchangeRunning) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TFormMain::FormClose()
{
    CloseLink();
    link_.reset();
}

void TFormMain::CloseLink()
{
    if (link_)
        ReleaseLink(*link_);
    ui.StatusBar1->setText(1, QString());
    Program().connected = 0;
}

void TFormMain::SetMenuState()
{
    ShowAndEnable(ui.MainMenu1->actions(), 3);
    if (Program().connected == 0) {
        ui.StatusBar1->setText(0, QString());
        ui.StatusBar1->setText(1, QString());
        ui.Nrdcnf->setEnabled(false);
        ui.NWr_Config->setEnabled(false);
        ui.NWorkPar->menuAction()->setEnabled(false);
        ui.NData->menuAction()->setEnabled(false);
    }
}

void TFormMain::TimerStartTimer()
{
    TimerStart->stop();
    if (flows_ > 0) {
        TimerStart->start();
        return;
    }
    const FlowScope flow(*this);
    CloseLink();
    ShowConnParams(ui.StatusBar1);
    ui.StatusBar1->setText(1, QString());
    hideTopLevelMenu();

    setPanelColor(kPanelDialogColor);
    Program().connected = RunConnectDialog() ? 1 : 0;
    setPanelColor(kPanelColor);

    if (Program().connected == 1 && ConnSet().cur.Conn_Prz == 1) {
        RunEthernetWork();
        CloseLink();
        ShowConnParams(ui.StatusBar1);
        repaint();
    }
    SetMenuState();
}

bool TFormMain::RunConnectDialog()
{
    TFormConnect dialog(*link_, this);
    dialog.StatusBar = ui.StatusBar1;
    dialog.exec();
    return dialog.Connected;
}

// The work over an open Ethernet link: the device in status panel 1, and the all-parameters
// form over this window until it closes.
void TFormMain::RunEthernetWork()
{
    ui.StatusBar1->setText(1, DeviceLineText(BoxName(link_->deviceRecord), link_->deviceMac));
    TFormAll_Param form(*link_, this);
    form.exec();
}

void TFormMain::setPanelColor(const QColor& color)
{
    QPalette pal = ui.Panel1->palette();
    pal.setColor(QPalette::Window, color);
    ui.Panel1->setPalette(pal);
}

void TFormMain::hideTopLevelMenu()
{
    for (QAction* a : ui.MainMenu1->actions())
        a->setVisible(false);
}

void TFormMain::NconnectClick()
{
    TimerStart->start();
}

void TFormMain::NversClick()
{
    TFormAbout about(this);
    about.exec();
}

void TFormMain::NExitClick()
{
    close();
}
