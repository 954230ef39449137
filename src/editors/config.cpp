#include "editors/config.h"

#include "editors/conneth.h"
#include "editors/port_param.h"

namespace
{
constexpr QSize kSize(334, 236);
const QColor kVersionColour(0, 0, 128); // navy
} // namespace

TFormConfig::TFormConfig(DeviceConfig& target, EditMode mode, QWidget* parent)
    : FormDialog(parent), target_(target), mode_(mode)
{
    ui.setupUi(this);
    QFont bold = ui.Panel9->font();
    bold.setBold(true);
    ui.Panel9->setFont(bold);
    QPalette pal = ui.Panel9->palette();
    pal.setColor(QPalette::WindowText, kVersionColour);
    ui.Panel9->setPalette(pal);

    connect(ui.bt1, &QPushButton::clicked, this, &TFormConfig::bt1Click);
    connect(ui.bt2, &QPushButton::clicked, this, &TFormConfig::bt2Click);
    connect(ui.bt3, &QPushButton::clicked, this, &TFormConfig::bt3Click);
    connect(ui.BitBtn2, &QPushButton::clicked, this, &TFormConfig::BitBtn3Click);
    connect(ui.BitBtn3, &QPushButton::clicked, this, &TFormConfig::BitBtn3Click);
    connect(ui.BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormConfig::FormShow()
{
    setFixedSize(kSize);
    work_ = target_;
    ui.BitBtn2->setVisible(mode_ == EditMode::AcceptInto);
    ui.BitBtn3->setVisible(mode_ == EditMode::WriteDevice);
    ui.Panel9->setText(QString::number(work_.box_vers));
}

// The sub-dialogs edit the working copy in place; what they accept is there already.
void TFormConfig::bt1Click()
{
    TFormConEth dialog(work_, EditMode::AcceptInto, this);
    dialog.exec();
}

void TFormConfig::bt2Click()
{
    editPort(1);
}

void TFormConfig::bt3Click()
{
    editPort(2);
}

void TFormConfig::editPort(int port)
{
    TFormPort_Param dialog(work_.ports[size_t(port - 1)], port, EditMode::AcceptInto, this);
    dialog.exec();
}

void TFormConfig::BitBtn3Click()
{
    target_ = work_;
    accepted_ = true;
    accept();
}
