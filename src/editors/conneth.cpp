#include "editors/conneth.h"

#include "config/cp1251.h"
#include "config/group_input.h"
#include "config/operator.h"
#include "config/rd_wr_ini.h"
#include "widgets/editfields.h"

namespace
{

constexpr QSize kSize(422, 294);
const QColor kPromptColour(128, 0, 0); // maroon

} // namespace

TFormConEth::TFormConEth(DeviceConfig& record, EditMode mode, QWidget* parent)
    : FormDialog(parent), record_(record), mode_(mode)
{
    ui.setupUi(this);
    fields_ = {ui.ComboBox1,
               {ui.ip1, ui.ip2, ui.ip3, ui.ip4},
               {ui.im1, ui.im2, ui.im3, ui.im4},
               {ui.is1, ui.is2, ui.is3, ui.is4}};
    SetUpNetFields(fields_);

    // The prompt stands out until a mode is chosen.
    QFont prompt = ui.Label1->font();
    prompt.setBold(true);
    prompt.setStretch(QFont::Condensed);
    ui.Label14->setFont(prompt);
    QPalette pal = ui.Label14->palette();
    pal.setColor(QPalette::WindowText, kPromptColour);
    ui.Label14->setPalette(pal);

    connect(ui.ComboBox1, qOverload<int>(&QComboBox::activated), this,
            &TFormConEth::ComboBox1Click);
    connect(ui.BitBtn1, &QPushButton::clicked, this, &TFormConEth::BitBtn1Click);
    connect(ui.BitBtn3, &QPushButton::clicked, this, &TFormConEth::BitBtn1Click);
    connect(ui.BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

bool TFormConEth::nameEditable() const
{
    return mode_ == EditMode::AcceptInto || ConnSet().cur.Conn_Prz == 1;
}

void TFormConEth::FormShow()
{
    setFixedSize(kSize);
    ui.BitBtn1->setVisible(mode_ == EditMode::AcceptInto);
    ui.BitBtn3->setVisible(mode_ == EditMode::WriteDevice);

    ShowNetInput(fields_, NetInputFrom(record_.net));
    if (nameEditable()) {
        SetFieldEditable(ui.Edit1, true);
        ui.Edit1->setText(BoxName(record_));
    } else {
        ui.Edit1->clear();
        SetFieldEditable(ui.Edit1, false);
    }
    ComboBox1Click();
}

void TFormConEth::ComboBox1Click()
{
    const int mode = ui.ComboBox1->currentIndex();
    if (mode < 0)
        return;
    record_.net.ip_prz = quint8(mode); // at once, even if the dialog is then cancelled
    ui.Label14->setFont(ui.Label1->font());
    ui.Label14->setPalette(ui.Label1->palette());
    ui.Label14->setText(QStringLiteral("Режим"));
    SetNetOctetsEditable(fields_, mode == 0);
}

void TFormConEth::BitBtn1Click()
{
    NetConfig net = record_.net;
    if (const auto refusal = TakeNetInput(NetInputOf(fields_), net)) {
        ReportInputRefusal(*refusal, {QStringLiteral("Уведені не всі параметри"), QString()},
                           NetFieldOf(fields_, refusal->field, refusal->octet));
        return;
    }

    const QString name = ui.Edit1->text();
    if (nameEditable()) {
        if (const auto refused = RefuseAsName(name)) {
            CurrentOperator().ask(MsgInputError, refused->line1, refused->line2);
            ui.Edit1->setFocus();
            return;
        }
    }
    record_.net = net;
    if (nameEditable())
        SetBoxName(record_, name); // an empty field leaves the name all zero
    accepted_ = true;
    accept();
}
