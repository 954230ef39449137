#include "connect/all_param.h"

#include "config/cnf_file.h"
#include "config/cp1251.h"
#include "config/group_input.h"
#include "config/operator.h"
#include "config/program.h"
#include "config/rd_wr_ini.h"
#include "config/write_check.h"
#include "link/ethr_conffun.h"
#include "link/qelbox.h"
#include "widgets/editfields.h"
#include "widgets/filedialogs.h"
#include "widgets/suplfunc.h"

#include <QKeyEvent>
#include <QStyle>
#include <QStyleOptionGroupBox>

namespace
{

constexpr QSize kSize(1180, 496);
// The background while the form shows the device's record, and after a file was loaded.
const QColor kDeviceColour(211, 211, 211);
const QColor kFileColour(195, 195, 195);
const QColor kPromptColour(128, 0, 0); // maroon

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
    net_ = {ui.ComboBox6,
            {ui.in1, ui.in2, ui.in3, ui.in4},
            {ui.im1, ui.im2, ui.im3, ui.im4},
            {ui.is1, ui.is2, ui.is3, ui.is4}};
    SetUpNetFields(net_);
    for (const PortFields& p : ports_) {
        SetUpPortFields(p);
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

void TFormAll_Param::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    FormDialog::keyPressEvent(event);
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

    // Port 2's remote fields are shown here too, not only through CbRegimClick, which does
    // not run for port 2 while it is off: the fields show this record, not an earlier one.
    ShowPortInput(ports_[0], PortInputFrom(Record.ports[0]));
    CbRegimClick(ui.ComboBox1);
    ShowPortInput(ports_[1], PortInputFrom(Record.ports[1]));
    ui.CheckBox1->setChecked(Record.is_port2 != 0);
    CheckBox1Click();

    ShowNetInput(net_, NetInputFrom(Record.net));
    ui.Edit8->setText(BoxName(Record));
    ComboBox6Click();
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
    ShowRemoteInput(ports_[size_t(index)], PortInputFrom(group));
    SetRemoteEditable(ports_[size_t(index)], IsClientMode(regim));
}

void TFormAll_Param::CheckBox1Click()
{
    if (ui.CheckBox1->isChecked())
        EnablePort2();
    else
        DisablePort2();
}

// The remote fields follow port 2's mode (CbRegimClick).
void TFormAll_Param::EnablePort2()
{
    ui.GroupBox2->setEnabled(true);
    SetPortEditable(ports_[1], true);
    CbRegimClick(ui.ComboBox7);
}

// The whole group is greyed; its fields keep their texts.
void TFormAll_Param::DisablePort2()
{
    ui.GroupBox2->setEnabled(false);
    SetPortEditable(ports_[1], false);
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
    SetNetOctetsEditable(net_, mode == 0);
}

bool TFormAll_Param::readPort(int index)
{
    const PortFields& fields = ports_[size_t(index)];
    const auto refusal = TakePortInput(PortInputOf(fields), Record.ports[size_t(index)]);
    if (!refusal)
        return true;
    const int port = index + 1;
    ReportInputRefusal(*refusal,
                       {QStringLiteral("Уведені не всі параметри порту %1").arg(port),
                        QStringLiteral("Таймаут порту %1 поза припустимого діапазону").arg(port)},
                       PortFieldOf(fields, refusal->field, refusal->octet));
    return false;
}

bool TFormAll_Param::ReadForm()
{
    if (const auto refusal = TakeNetInput(NetInputOf(net_), Record.net)) {
        ReportInputRefusal(
            *refusal, {QStringLiteral("Уведені не всі параметри зв'язку Ethernet "), QString()},
            NetFieldOf(net_, refusal->field, refusal->octet));
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
    bool answered = false;
    const bool readBack = WriteConfigEth(link_, Record, &answered);
    // A write the device answered is verified: the write has read the device back anyway, and
    // every field of the record travels in the block, so every one is compared.
    if (answered && ConnSet().cur.VerifyWrites)
        ReportWriteCheck(readBack ? CompareWritten(Record, link_.deviceRecord, FieldScope::All)
                                  : WriteCheck());
    if (!readBack) {
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
