#include "connect/connect.h"

#include "config/operator.h"
#include "config/program.h"
#include "config/rates.h"
#include "config/rd_wr_ini.h"
#include "connect/abonent.h"
#include "connect/abonents_list.h"
#include "link/comportfunctions.h"
#include "link/ethr_conffun.h"
#include "link/qelbox.h"
#include "widgets/editfields.h"
#include "widgets/statusline.h"
#include "widgets/suplfunc.h"

#include <QThread>

namespace
{

constexpr int kPortNumbers = 255;
constexpr int kMinWaitTime = 1;
constexpr int kMaxWaitTime = 120;
constexpr int kMinTimeOut = 55;
constexpr int kMaxTimeOut = 5000;
constexpr int kSerialQueueSize = 1000;
constexpr int kSettleMs = 300;
constexpr quint8 kVersionCommand = 0x01;
constexpr int kServedFirmwareVersion = 39;
constexpr QSize kSerialPageSize(630, 256);
constexpr QSize kEthernetPageSize(474, 212);

const QString kNotAllParameters = QStringLiteral("Уведені не всі параметри");

// The text of a wait field as a number. Text that is not one (pasted, or the '%' and the
// apostrophe the key filter lets through) is reported as the toolkit reports a failed
// number conversion; false then, and nothing may be stored.
bool fieldNumber(const QLineEdit* edit, int* value)
{
    bool ok = false;
    *value = edit->text().toInt(&ok);
    if (!ok)
        ShowNotANumber(edit->text());
    return ok;
}

} // namespace

TFormConnect::TFormConnect(LinkContext& link, QWidget* parent) : FormDialog(parent), link_(link)
{
    ui.setupUi(this);
    InstallIntKeyFilter(ui.Edit1);
    InstallIntKeyFilter(ui.Edit2);

    connect(ui.ComboBox4, qOverload<int>(&QComboBox::activated), this,
            &TFormConnect::ComboBox4Click);
    connect(ui.BitBtn6, &QPushButton::clicked, this, &TFormConnect::BitBtn6Click);
    connect(ui.BitBtn1, &QPushButton::clicked, this, &TFormConnect::BitBtn1Click);
    connect(ui.BitBtn2, &QPushButton::clicked, this, &TFormConnect::BitBtn2Click);
}

void TFormConnect::FormShow()
{
    const ConnSettings& s = ConnSet().cur;
    ui.pn_dir->hide();
    ui.pn_ethr->hide();

    fillPortList();

    ui.ComboBox2->clear();
    for (int rate : kBaudRates)
        ui.ComboBox2->addItem(QString::number(rate));
    ui.ComboBox2->setCurrentIndex(kDefaultRateIndex);
    ui.ComboBox2->setEnabled(false); // the serial link always runs at 9600 bit/s

    ui.Edit1->setText(QString::number(s.WaitTime));
    ui.Edit2->setText(QString::number(s.TimeOut));
    // Repeat outside 1..5 leaves the attempts unchosen.
    ui.ComboBox3->setCurrentIndex(s.Repeat >= 1 && s.Repeat <= ui.ComboBox3->count() ? s.Repeat - 1
                                                                                     : -1);
    FillAbonentList();
    ui.CheckVerify->setChecked(s.VerifyWrites);

    ui.ComboBox4->setCurrentIndex(s.Conn_Prz < ui.ComboBox4->count() ? s.Conn_Prz : -1);
    ComboBox4Click();
}

// The ports that are there, as "COM%d" and, where the number stands for a device path, the
// path; the remembered port is selected when it is among them.
void TFormConnect::fillPortList()
{
    ui.ComboBox1->clear();
    int selected = -1;
    // One read of the settings file for the whole scan, not one for each number.
    const ComPortMap map = ComPortMap::load(Program().settingsPath);
    for (int n = 1; n <= kPortNumbers; ++n) {
        if (!ComPortPresent(n, map))
            continue;
        QString label = QStringLiteral("COM%1").arg(n);
#ifndef Q_OS_WIN
        label += QStringLiteral(" (%1)").arg(ComPortDevice(n, map));
#endif
        if (n == ConnSet().cur.COMPort)
            selected = ui.ComboBox1->count();
        ui.ComboBox1->addItem(label, n);
    }
    ui.ComboBox1->setCurrentIndex(selected);
}

void TFormConnect::ComboBox4Click()
{
    const int type = ui.ComboBox4->currentIndex();
    // No type chosen (a value in the settings file that names none) keeps the stored value,
    // so the file is not changed by merely opening the dialog.
    if (type >= 0)
        ConnSet().cur.Conn_Prz = quint8(type);

    const bool ethernet = type == 1;
    ui.pn_ethr->setVisible(ethernet);
    ui.pn_dir->setVisible(!ethernet);
    setFixedSize(ethernet ? kEthernetPageSize : kSerialPageSize);
    centreOnScreen();
    ShowConnParams(StatusBar);
}

void TFormConnect::FillAbonentList()
{
    const AbonentBook& book = ConnSet().cur.book;
    const int used = qMin<int>(book.users_num, kMaxAbonents);
    ui.ComboBox6->clear();
    for (int i = 0; i < used; ++i)
        ui.ComboBox6->addItem(AbonentName(book.abonents[std::size_t(i)]));
    if (used < kMaxAbonents)
        ui.ComboBox6->addItem(QStringLiteral("Новий абонент"));

    // An index beyond the list (a settings file naming an abonent that is not there)
    // selects nothing.
    if (used > 0 && book.user_index < ui.ComboBox6->count()) {
        ui.ComboBox6->setCurrentIndex(book.user_index);
        ShowConnParams(StatusBar);
    } else {
        ui.ComboBox6->setCurrentIndex(-1);
    }
}

void TFormConnect::BitBtn6Click()
{
    if (ExecAbonentsList(this)) {
        FillAbonentList();
        ShowConnParams(StatusBar);
    }
}

void TFormConnect::BitBtn1Click()
{
    if (ui.ComboBox4->currentIndex() < 0) {
        CurrentOperator().ask(MsgInputError, QStringLiteral("Не введений тип зв'язку"), QString());
        return;
    }
    const bool linked = ConnSet().cur.Conn_Prz == 1 ? acceptEthernetPage() : acceptSerialPage();
    // The operator may have closed the dialog while the device was being asked; the close,
    // held during the exchange, has been carried out by now, and the link does not count.
    if (linked && isVisible()) {
        Connected = true;
        accept();
    }
}

void TFormConnect::done(int result)
{
    ConnSettingsState& settings = ConnSet();
    if (!Connected && !settings.cur.ethernetGroupEquals(settings.saved)) {
        QString error;
        if (!WriteConnSettings(settings, Program().settingsPath, &error))
            ShowErrorText(error);
    }
    FormDialog::done(result);
}

// Validates the serial page, stores it and opens the link. True when the device answered.
bool TFormConnect::acceptSerialPage()
{
    if (ui.ComboBox1->currentIndex() < 0 || ui.ComboBox3->currentIndex() < 0 ||
        ui.Edit1->text().isEmpty() || ui.Edit2->text().isEmpty()) {
        CurrentOperator().ask(MsgInputError, kNotAllParameters, QString());
        return false;
    }
    int wait = 0;
    int timeout = 0;
    if (!fieldNumber(ui.Edit1, &wait) || !fieldNumber(ui.Edit2, &timeout))
        return false;
    if (wait < kMinWaitTime || wait > kMaxWaitTime || timeout < kMinTimeOut ||
        timeout > kMaxTimeOut) {
        ShowOutOfRange();
        return false;
    }

    ConnSettings& s = ConnSet().cur;
    s.WaitTime = wait;
    s.TimeOut = timeout;
    s.COMPort = quint8(ui.ComboBox1->currentData().toInt());
    s.Repeat = quint8(ui.ComboBox3->currentIndex() + 1);
    s.Rate = RateAtIndex(ui.ComboBox2->currentIndex());
    return storeSettings() && ConnectDirect();
}

// Validates the Ethernet page, stores it and connects to the chosen abonent.
bool TFormConnect::acceptEthernetPage()
{
    if (ui.ComboBox6->currentIndex() < 0) {
        CurrentOperator().ask(MsgInputError, kNotAllParameters, QString());
        return false;
    }
    AbonentBook& book = ConnSet().cur.book;
    const int chosen = ui.ComboBox6->currentIndex();
    if (chosen >= book.users_num && !addAbonent())
        return false; // "Новий абонент" left without an entry: nothing is sent
    if (chosen < book.users_num)
        book.user_index = quint8(chosen);
    const Abonent* abonent = CurrentAbonent(ConnSet().cur);
    return storeSettings() && abonent && ConnectEthernet(*abonent);
}

// "Новий абонент": the device is added to the book through the entry form, and becomes the
// chosen one, so a connection never goes to the empty spare record.
bool TFormConnect::addAbonent()
{
    AbonentBook& book = ConnSet().cur.book;
    if (book.users_num >= kMaxAbonents)
        return false;
    const int slot = book.users_num;
    Abonent entry = book.abonents[size_t(slot)];
    TFormAbonent form(entry, TFormAbonent::Mode::Add, this);
    form.exec();
    if (!form.isAccepted())
        return false;
    book.abonents[size_t(slot)] = entry;
    book.users_num = quint8(slot + 1);
    book.user_index = quint8(slot);
    FillAbonentList();
    return true;
}

// Shows the chosen link and writes the settings file, with "Перевіряти запис" as the check
// box is now. A failed write is reported, and the connection is not attempted.
bool TFormConnect::storeSettings()
{
    ConnSet().cur.VerifyWrites = ui.CheckVerify->isChecked();
    ShowConnParams(StatusBar);
    QString error;
    if (!WriteConnSettings(ConnSet(), Program().settingsPath, &error)) {
        ShowErrorText(error);
        return false;
    }
    return true;
}

bool TFormConnect::ConnectDirect()
{
    const ConnSettings& s = ConnSet().cur;
    if (link_.port) {
        link_.port->close();
        link_.port.reset();
    }

    ComOpenError error;
    link_.port = OpenComPort(s.COMPort, s.Rate, 8, ComParityNone, ComOneStop, kSerialQueueSize,
                             kSerialQueueSize, true, false, &error);
    if (!link_.port) {
        CurrentOperator().ask(
            MsgError, QStringLiteral("Комунікаційний порт СОМ%1 недоступний").arg(s.COMPort),
#ifdef Q_OS_WIN
            QString());
#else
            error.text());
#endif
        return false;
    }
    SetComTimeouts(link_.port.get(), kComReadIntervalImmediate, 0, 0);

    // Lets the device's line settle after DTR came up; the window is not repainted meanwhile.
    QThread::msleep(kSettleMs);

    link_.baudRate = s.Rate;
    link_.replyTimeout = s.WaitTime * 1000;
    link_.interByteTimeout = s.TimeOut;
    link_.attemptCount = s.Repeat;

    bool answered = false;
    {
        BusyScope busy;
        answered = ExecCommand(link_, kVersionCommand);
    }
    if (!answered)
        return false;

    const int version = link_.receiveBuffer[0];
    if (version != kServedFirmwareVersion) {
        CurrentOperator().ask(MsgNotice, QStringLiteral("Версія ПО пристрою %1").arg(version),
                              QStringLiteral("Програма обслуговує пристрої QEL_2 версією %1")
                                  .arg(kServedFirmwareVersion));
        return false;
    }
    return true;
}

// The Ethernet link to the abonent: the connection commands, the version check and the
// first read of the configuration; every failure has been told to the operator.
bool TFormConnect::ConnectEthernet(const Abonent& abonent)
{
    return ::ConnectEthernet(link_, abonent.ip_adr);
}

void TFormConnect::BitBtn2Click()
{
    ReleaseLink(link_);
    if (StatusBar) {
        for (int panel = 0; panel <= 2; ++panel)
            StatusBar->setText(panel, QString());
    }
    reject();
}
