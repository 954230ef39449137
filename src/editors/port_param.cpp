#include "editors/port_param.h"

#include "config/group_input.h"
#include "widgets/editfields.h"

namespace
{

constexpr QSize kSize(416, 460);

} // namespace

TFormPort_Param::TFormPort_Param(PortConfig& group, int port, EditMode mode, QWidget* parent)
    : FormDialog(parent), group_(group), port_(port), mode_(mode)
{
    ui.setupUi(this);
    fields_ = {ui.ComboBox1, ui.Edit1,     ui.Edit2,     {ui.ip1, ui.ip2, ui.ip3, ui.ip4},
               ui.ComboBox2, ui.ComboBox3, ui.ComboBox4, ui.ComboBox5,
               ui.Edit3};
    SetUpPortFields(fields_);

    connect(ui.ComboBox1, qOverload<int>(&QComboBox::activated), this,
            &TFormPort_Param::ComboBox1Click);
    connect(ui.BitBtn1, &QPushButton::clicked, this, &TFormPort_Param::BitBtn3Click);
    connect(ui.BitBtn3, &QPushButton::clicked, this, &TFormPort_Param::BitBtn3Click);
    connect(ui.BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormPort_Param::FormShow()
{
    setFixedSize(kSize);
    work_ = group_;
    setWindowTitle(QStringLiteral("Параметри Ethernet-порту %1").arg(port_));

    ShowPortInput(fields_, PortInputFrom(work_));

    ui.BitBtn1->setVisible(mode_ == EditMode::AcceptInto);
    ui.BitBtn3->setVisible(mode_ == EditMode::WriteDevice);
    ui.GroupBox1->setEnabled(true);
    ui.GroupBox2->setEnabled(true);
    SetPortEditable(fields_, true);
    ComboBox1Click();
}

// The remote port and address mean something in the client modes only: there they show the
// working copy's values; in the server modes they are empty and greyed, while the working
// copy keeps its values for a switch back.
void TFormPort_Param::ComboBox1Click()
{
    const int regim = ui.ComboBox1->currentIndex();
    if (regim < 0)
        return;
    work_.regim = quint8(regim);
    ShowRemoteInput(fields_, PortInputFrom(work_));
    SetRemoteEditable(fields_, IsClientMode(regim));
}

void TFormPort_Param::BitBtn3Click()
{
    if (const auto refusal = TakePortInput(PortInputOf(fields_), work_)) {
        ReportInputRefusal(*refusal,
                           {QStringLiteral("Уведені не всі параметри"),
                            QStringLiteral("Таймаут поза припустимого діапазону")},
                           PortFieldOf(fields_, refusal->field, refusal->octet));
        return;
    }
    group_ = work_;
    accepted_ = true;
    accept();
}
