#include "editors/port_param.h"

#include "config/group_input.h"
#include "config/rates.h"
#include "widgets/editfields.h"
#include "widgets/suplfunc.h"

namespace
{

constexpr QSize kSize(416, 460);

bool clientMode(int regim)
{
    return regim == 1 || regim == 3;
}

} // namespace

TFormPort_Param::TFormPort_Param(PortConfig& group, int port, EditMode mode, QWidget* parent)
    : FormDialog(parent), group_(group), port_(port), mode_(mode)
{
    ui.setupUi(this);
    remoteIp_ = {ui.ip1, ui.ip2, ui.ip3, ui.ip4};
    for (QLineEdit* field : {ui.Edit1, ui.Edit2, ui.ip1, ui.ip2, ui.ip3, ui.ip4, ui.Edit3})
        InstallIntKeyFilter(field);
    ui.ComboBox2->clear();
    for (int rate : kBaudRates)
        ui.ComboBox2->addItem(QString::number(rate));

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

    const PortInput shown = PortInputFrom(work_);
    ui.ComboBox1->setCurrentIndex(shown.regim);
    ui.Edit1->setText(shown.port);
    ui.ComboBox2->setCurrentIndex(shown.rate);
    ui.ComboBox3->setCurrentIndex(shown.stopBits);
    ui.ComboBox4->setCurrentIndex(shown.parity);
    ui.ComboBox5->setCurrentIndex(shown.dataBits);
    ui.Edit3->setText(shown.timeout);

    ui.BitBtn1->setVisible(mode_ == EditMode::AcceptInto);
    ui.BitBtn3->setVisible(mode_ == EditMode::WriteDevice);
    ui.GroupBox1->setEnabled(true);
    ui.GroupBox2->setEnabled(true);
    for (QWidget* field : {static_cast<QWidget*>(ui.ComboBox1), static_cast<QWidget*>(ui.Edit1),
                           static_cast<QWidget*>(ui.Edit2), static_cast<QWidget*>(ui.ComboBox2),
                           static_cast<QWidget*>(ui.ComboBox3), static_cast<QWidget*>(ui.ComboBox4),
                           static_cast<QWidget*>(ui.ComboBox5), static_cast<QWidget*>(ui.Edit3)})
        SetFieldEditable(field, true);
    for (QLineEdit* field : remoteIp_)
        SetFieldEditable(field, true);
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
    const bool client = clientMode(regim);
    const PortInput shown = PortInputFrom(work_);
    ui.Edit2->setText(client ? shown.remotePort : QString());
    SetFieldEditable(ui.Edit2, client);
    for (int k = 0; k < 4; ++k) {
        remoteIp_[size_t(k)]->setText(client ? shown.remoteIp[size_t(k)] : QString());
        SetFieldEditable(remoteIp_[size_t(k)], client);
    }
}

QWidget* TFormPort_Param::fieldOf(InputField field, int octet) const
{
    switch (field) {
    case InputField::Regim:
        return ui.ComboBox1;
    case InputField::Port:
        return ui.Edit1;
    case InputField::RemotePort:
        return ui.Edit2;
    case InputField::RemoteIp:
        return remoteIp_[size_t(qBound(0, octet, 3))];
    case InputField::Rate:
        return ui.ComboBox2;
    case InputField::StopBits:
        return ui.ComboBox3;
    case InputField::Parity:
        return ui.ComboBox4;
    case InputField::DataBits:
        return ui.ComboBox5;
    case InputField::Timeout:
        return ui.Edit3;
    default:
        return nullptr;
    }
}

void TFormPort_Param::BitBtn3Click()
{
    PortInput input;
    input.regim = ui.ComboBox1->currentIndex();
    input.port = ui.Edit1->text();
    input.remotePort = ui.Edit2->text();
    for (int k = 0; k < 4; ++k)
        input.remoteIp[size_t(k)] = remoteIp_[size_t(k)]->text();
    input.rate = ui.ComboBox2->currentIndex();
    input.stopBits = ui.ComboBox3->currentIndex();
    input.parity = ui.ComboBox4->currentIndex();
    input.dataBits = ui.ComboBox5->currentIndex();
    input.timeout = ui.Edit3->text();

    if (const auto refusal = TakePortInput(input, work_)) {
        ReportInputRefusal(*refusal,
                           {QStringLiteral("Уведені не всі параметри"),
                            QStringLiteral("Таймаут поза припустимого діапазону")},
                           fieldOf(refusal->field, refusal->octet));
        return;
    }
    group_ = work_;
    accepted_ = true;
    accept();
}
