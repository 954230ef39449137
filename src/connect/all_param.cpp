#include "connect/all_param.h"

#include "config/cnf_file.h"
#include "config/cp1251.h"
#include "config/group_input.h"
#include "config/operator.h"
#include "config/program.h"
#include "config/rates.h"
#include "link/ethr_conffun.h"
#include "link/qelbox.h"
#include "widgets/editfields.h"
#include "widgets/filedialogs.h"
#include "widgets/suplfunc.h"

#include <QStyle>
#include <QStyleOptionGroupBox>

namespace
{

constexpr QSize kSize(1180, 496);
// The background while the form shows the device's record, and after a file was loaded.
const QColor kDeviceColour(211, 211, 211);
const QColor kFileColour(195, 195, 195);
const QColor kPromptColour(128, 0, 0); // maroon

// TCP client and UDP client: the modes in which the remote port and address are used.
bool IsClient(int regim)
{
    return regim == 1 || regim == 3;
}

} // namespace

TFormAll_Param::TFormAll_Param(LinkContext& link, QWidget* parent)
    : FormDialog(parent), link_(link), ownDialogs_(std::make_unique<QtFileDialogs>(this)),
      now_([] { return QDateTime::currentDateTime(); })
{
    ui.setupUi(this);
    ui.FormLayout->setMenuBar(ui.MainMenu1);
    dialogs_ = ownDialogs_.get();

    ports_ = {{
        {ui.ComboBox1,
         ui.Edit1,
         ui.Edit2,
         {ui.ip1, ui.ip2, ui.ip3, ui.ip4},
         ui.ComboBox2,
         ui.ComboBox3,
         ui.ComboBox4,
         ui.ComboBox5,
         ui.Edit3},
        {ui.ComboBox7,
         ui.Edit9,
         ui.Edit10,
         {ui.ep1, ui.ep2, ui.ep3, ui.ep4},
         ui.ComboBox8,
         ui.ComboBox9,
         ui.ComboBox10,
         ui.ComboBox11,
         ui.Edit15},
    }};
    AddrEdits = {{ports_[0].remoteIp,
                  ports_[1].remoteIp,
                  {ui.in1, ui.in2, ui.in3, ui.in4},
                  {ui.im1, ui.im2, ui.im3, ui.im4},
                  {ui.is1, ui.is2, ui.is3, ui.is4}}};
    for (const auto& row : AddrEdits) {
        for (QLineEdit* field : row)
            InstallIntKeyFilter(field);
    }
    for (PortControls& p : ports_) {
        for (QLineEdit* field : {p.port, p.remotePort, p.timeout})
            InstallIntKeyFilter(field);
        p.rate->clear();
        for (int rate : kBaudRates)
            p.rate->addItem(QString::number(rate));
        QComboBox* regim = p.regim;
        connect(regim, qOverload<int>(&QComboBox::activated), this,
                [this, regim] { CbRegimClick(regim); });
    }

    // The prompt stands out until an IP mode is chosen.
    QFont prompt = ui.Label2->font();
    prompt.setBold(true);
    ui.Label18->setFont(prompt);
    QPalette pal = ui.Label18->palette();
    pal.setColor(QPalette::WindowText, kPromptColour);
    ui.Label18->setPalette(pal);

    connect(ui.CheckBox1, &QCheckBox::clicked, this, &TFormAll_Param::CheckBox1Click);
    connect(ui.ComboBox6, qOverload<int>(&QComboBox::activated), this,
            &TFormAll_Param::ComboBox6Click);
    connect(ui.BitBtn1, &QPushButton::clicked, this, &TFormAll_Param::Wr_Click);
    connect(ui.N3, &QAction::triggered, this, &TFormAll_Param::N3Click);
    connect(ui.N2, &QAction::triggered, this, &TFormAll_Param::N2Click);
    connect(ui.N4, &QAction::triggered, this, &TFormAll_Param::N4Click);
    connect(ui.N6, &QAction::triggered, this, &QDialog::close);
}

TFormAll_Param::~TFormAll_Param() = default;

void TFormAll_Param::setFileDialogs(FileDialogs& dialogs)
{
    dialogs_ = &dialogs;
}

void TFormAll_Param::setClock(std::function<QDateTime()> now)
{
    now_ = std::move(now);
}

void TFormAll_Param::FormShow()
{
    setFixedSize(kSize);
    placeCheckBox();
    centreOnScreen();
    ShowRecord();
}

// The check box of port 2 sits on the caption line of its group, right after the caption's
// text, over the frame. It is not a child of the group: disabling the group must leave it
// usable, or port 2 could never be switched on again.
void TFormAll_Param::placeCheckBox()
{
    QGroupBox* group = ui.GroupBox2;
    QStyleOptionGroupBox opt;
    opt.initFrom(group);
    opt.text = group->title();
    opt.textAlignment = group->alignment();
    opt.lineWidth = 1;
    opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QRect label =
        group->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, group);
    QString text = group->title();
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    const QSize box = ui.CheckBox1->sizeHint();
    const int x = label.left() + group->fontMetrics().horizontalAdvance(text) + 6;
    const int y = label.center().y() - box.height() / 2;
    ui.CheckBox1->setGeometry(QRect(group->mapToParent(QPoint(x, y)), box));
    ui.CheckBox1->raise();
}

void TFormAll_Param::setPanelColour(const QColor& colour)
{
    QPalette pal = ui.Panel1->palette();
    pal.setColor(QPalette::Window, colour);
    ui.Panel1->setPalette(pal);
}

void TFormAll_Param::ShowRecord()
{
    if (FromDevice) {
        Record = link_.deviceRecord;
        ui.Panel2->setText(EthernetLinkText(Record.net.ip_adr) + QStringLiteral("    ") +
                           DeviceLineText(BoxName(link_.deviceRecord), link_.deviceMac) +
                           QLatin1Char(' '));
        setPanelColour(kDeviceColour);
    } else {
        ui.Panel2->clear();
        setPanelColour(kFileColour);
    }

    showPort(0);
    CbRegimClick(ui.ComboBox1);
    showPort(1);
    ui.CheckBox1->setChecked(Record.is_port2 != 0);
    CheckBox1Click();

    const NetInput net = NetInputFrom(Record.net);
    for (size_t k = 0; k < 4; ++k) {
        AddrEdits[RowIn][k]->setText(net.ip[k]);
        AddrEdits[RowIm][k]->setText(net.mask[k]);
        AddrEdits[RowIs][k]->setText(net.gateway[k]);
    }
    ui.Edit8->setText(BoxName(Record));
    ui.ComboBox6->setCurrentIndex(net.mode);
    ComboBox6Click();
}

// Every text of a port group from Record. The remote port and address show the record's
// values in a client mode and nothing otherwise, as CbRegimClick shows them, so that a port
// whose mode is not run through CbRegimClick (port 2 while it is off) shows its own record
// and not what an earlier record left there.
void TFormAll_Param::showPort(int index)
{
    const PortControls& c = ports_[size_t(index)];
    const PortInput shown = PortInputFrom(Record.ports[size_t(index)]);
    c.regim->setCurrentIndex(shown.regim);
    c.port->setText(shown.port);
    const bool client = IsClient(shown.regim);
    c.remotePort->setText(client ? shown.remotePort : QString());
    for (size_t k = 0; k < 4; ++k)
        c.remoteIp[k]->setText(client ? shown.remoteIp[k] : QString());
    c.rate->setCurrentIndex(shown.rate);
    c.stopBits->setCurrentIndex(shown.stopBits);
    c.parity->setCurrentIndex(shown.parity);
    c.dataBits->setCurrentIndex(shown.dataBits);
    c.timeout->setText(shown.timeout);
}

// The mode list of a port (its tag tells which) decides whether the remote port and address
// are for the operator: in a client mode they show the record's values and can be edited; in
// a server mode they are empty and greyed, and the record keeps its remote values.
void TFormAll_Param::CbRegimClick(QComboBox* sender)
{
    const int index = sender->property("tag").toInt() - 1;
    const int regim = sender->currentIndex();
    if (index < 0 || index >= int(ports_.size()) || regim < 0)
        return;
    PortConfig& group = Record.ports[size_t(index)];
    group.regim = quint8(regim);
    const bool client = IsClient(regim);
    const PortControls& c = ports_[size_t(index)];
    const PortInput shown = PortInputFrom(group);
    c.remotePort->setText(client ? shown.remotePort : QString());
    SetFieldEditable(c.remotePort, client);
    for (size_t k = 0; k < 4; ++k) {
        c.remoteIp[k]->setText(client ? shown.remoteIp[k] : QString());
        SetFieldEditable(c.remoteIp[k], client);
    }
}

void TFormAll_Param::CheckBox1Click()
{
    if (ui.CheckBox1->isChecked())
        EnablePort2();
    else
        DisablePort2();
}

void TFormAll_Param::EnablePort2()
{
    const PortControls& c = ports_[1];
    ui.GroupBox2->setEnabled(true);
    for (QWidget* field : {static_cast<QWidget*>(c.regim), static_cast<QWidget*>(c.port),
                           static_cast<QWidget*>(c.rate), static_cast<QWidget*>(c.stopBits),
                           static_cast<QWidget*>(c.parity), static_cast<QWidget*>(c.dataBits),
                           static_cast<QWidget*>(c.timeout)})
        SetFieldEditable(field, true);
    CbRegimClick(c.regim);
}

// The whole group is greyed; its fields keep their texts.
void TFormAll_Param::DisablePort2()
{
    const PortControls& c = ports_[1];
    ui.GroupBox2->setEnabled(false);
    for (QWidget* field : {static_cast<QWidget*>(c.regim), static_cast<QWidget*>(c.port),
                           static_cast<QWidget*>(c.remotePort), static_cast<QWidget*>(c.rate),
                           static_cast<QWidget*>(c.stopBits), static_cast<QWidget*>(c.parity),
                           static_cast<QWidget*>(c.dataBits), static_cast<QWidget*>(c.timeout)})
        SetFieldEditable(field, false);
    for (QLineEdit* field : c.remoteIp)
        SetFieldEditable(field, false);
}

// The IP mode: manual lets the operator edit the device's address, mask and gateway;
// automatic greys them (their texts stay, and ReadForm keeps the record's addresses).
void TFormAll_Param::ComboBox6Click()
{
    const int mode = ui.ComboBox6->currentIndex();
    if (mode < 0)
        return;
    Record.net.ip_prz = quint8(mode);
    ui.Label18->setFont(ui.Label2->font());
    ui.Label18->setPalette(ui.Label2->palette());
    ui.Label18->setText(QStringLiteral("Режим"));
    for (AddrRow row : {RowIn, RowIm, RowIs}) {
        for (QLineEdit* field : AddrEdits[row])
            SetFieldEditable(field, mode == 0);
    }
}

QWidget* TFormAll_Param::portField(int index, InputField field, int octet) const
{
    const PortControls& c = ports_[size_t(index)];
    switch (field) {
    case InputField::Regim:
        return c.regim;
    case InputField::Port:
        return c.port;
    case InputField::RemotePort:
        return c.remotePort;
    case InputField::RemoteIp:
        return c.remoteIp[size_t(qBound(0, octet, 3))];
    case InputField::Rate:
        return c.rate;
    case InputField::StopBits:
        return c.stopBits;
    case InputField::Parity:
        return c.parity;
    case InputField::DataBits:
        return c.dataBits;
    case InputField::Timeout:
        return c.timeout;
    default:
        return nullptr;
    }
}

bool TFormAll_Param::readPort(int index)
{
    const PortControls& c = ports_[size_t(index)];
    PortInput input;
    input.regim = c.regim->currentIndex();
    input.port = c.port->text();
    input.remotePort = c.remotePort->text();
    for (size_t k = 0; k < 4; ++k)
        input.remoteIp[k] = c.remoteIp[k]->text();
    input.rate = c.rate->currentIndex();
    input.stopBits = c.stopBits->currentIndex();
    input.parity = c.parity->currentIndex();
    input.dataBits = c.dataBits->currentIndex();
    input.timeout = c.timeout->text();

    const auto refusal = TakePortInput(input, Record.ports[size_t(index)]);
    if (!refusal)
        return true;
    const int port = index + 1;
    ReportInputRefusal(*refusal,
                       {QStringLiteral("Уведені не всі параметри порту %1").arg(port),
                        QStringLiteral("Таймаут порту %1 поза припустимого діапазону").arg(port)},
                       portField(index, refusal->field, refusal->octet));
    return false;
}

bool TFormAll_Param::ReadForm()
{
    NetInput net;
    net.mode = ui.ComboBox6->currentIndex();
    for (size_t k = 0; k < 4; ++k) {
        net.ip[k] = AddrEdits[RowIn][k]->text();
        net.mask[k] = AddrEdits[RowIm][k]->text();
        net.gateway[k] = AddrEdits[RowIs][k]->text();
    }
    if (const auto refusal = TakeNetInput(net, Record.net)) {
        QWidget* field = ui.ComboBox6;
        const size_t octet = size_t(qBound(0, refusal->octet, 3));
        if (refusal->field == InputField::Ip)
            field = AddrEdits[RowIn][octet];
        else if (refusal->field == InputField::Mask)
            field = AddrEdits[RowIm][octet];
        else if (refusal->field == InputField::Gateway)
            field = AddrEdits[RowIs][octet];
        ReportInputRefusal(
            *refusal, {QStringLiteral("Уведені не всі параметри зв'язку Ethernet "), QString()},
            field);
        return false;
    }

    const QString name = ui.Edit8->text();
    if (const auto refused = RefuseAsName(name)) {
        CurrentOperator().ask(MsgInputError, refused->line1, refused->line2);
        ui.Edit8->setFocus();
        return false;
    }
    SetBoxName(Record, name); // an empty field leaves the name all zero

    if (!readPort(0))
        return false;
    // Port 2 is checked and taken only while it is on; otherwise the record keeps its values.
    Record.is_port2 = ui.CheckBox1->isChecked() ? 1 : 0;
    return Record.is_port2 == 0 || readPort(1);
}

void TFormAll_Param::N3Click()
{
    if (!ReadConfigEth(link_)) {
        close(); // the device can no longer be reached: the main window closes the link
        return;
    }
    FromDevice = true;
    ShowRecord();
}

void TFormAll_Param::Wr_Click()
{
    if (!ReadForm())
        return;
    if (!WriteConfigEth(link_, Record)) {
        close();
        return;
    }
    // The form shows what the device reported after the write.
    FromDevice = true;
    ShowRecord();
}

QString TFormAll_Param::defaultFileName() const
{
    const QDateTime now = now_();
    return QStringLiteral("%1/%2_%3_h%4.cnf")
        .arg(ConfigDirPath(), FileNameFromDeviceName(BoxName(Record)),
             now.toString(QStringLiteral("yyMMdd")), now.toString(QStringLiteral("HH")));
}

void TFormAll_Param::N2Click()
{
    if (!ReadForm())
        return;
    SaveConfigFile(Record, *dialogs_, defaultFileName(), now_());
}

void TFormAll_Param::N4Click()
{
    DeviceConfig file;
    if (!OpenConfigFile(file, *dialogs_))
        return; // cancelled, unreadable or of another version: the form stays as it was
    Record = file;
    FromDevice = false;
    ShowRecord();
}
