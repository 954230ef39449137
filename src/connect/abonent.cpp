#include "connect/abonent.h"

#include "config/cp1251.h"
#include "config/group_input.h"
#include "config/operator.h"
#include "widgets/suplfunc.h"

namespace
{

constexpr int kWidth = 548;
constexpr int kHeight = 162;

const QString kNotAll = QStringLiteral("Уведені не всі параметри");
const QString kRangeHint = QStringLiteral("(0...255)");

} // namespace

TFormAbonent::TFormAbonent(Abonent& entry, Mode mode, QWidget* parent)
    : FormDialog(parent), entry_(entry), mode_(mode)
{
    ui.setupUi(this);
    for (QLineEdit* field : {ui.ip1, ui.ip2, ui.ip3, ui.ip4})
        InstallIntKeyFilter(field);
    connect(ui.BitBtn4, &QPushButton::clicked, this, &TFormAbonent::BitBtn4Click);
    connect(ui.BitBtn5, &QPushButton::clicked, this, &TFormAbonent::BitBtn5Click);
}

void TFormAbonent::FormShow()
{
    setFixedSize(kWidth, kHeight);
    QLineEdit* const fields[] = {ui.ip1, ui.ip2, ui.ip3, ui.ip4};
    if (mode_ == Mode::Edit) {
        ui.Edit1->setText(AbonentName(entry_));
        for (int i = 0; i < 4; ++i)
            fields[i]->setText(QString::number(entry_.ip_adr[size_t(i)]));
    } else {
        ui.Edit1->clear();
        for (QLineEdit* field : fields)
            field->clear();
    }
    ui.Edit1->setFocus();
    centreOnScreen();
}

bool TFormAbonent::readAddress(IpAddress& address)
{
    QLineEdit* const fields[] = {ui.ip1, ui.ip2, ui.ip3, ui.ip4};
    for (int i = 0; i < 4; ++i) {
        // The key filter lets '%' and the apostrophe through and pasted text is not
        // filtered, so a field may hold anything.
        const QString text = fields[i]->text();
        const std::optional<qint64> value = ParseWholeNumber(text);
        if (text.isEmpty()) {
            CurrentOperator().ask(MsgInputError, kNotAll, QString());
        } else if (!value) {
            CurrentOperator().ask(MsgInputError, QStringLiteral("Поле IP-адреси містить не число"),
                                  kRangeHint);
        } else if (*value < 0 || *value > 255) {
            CurrentOperator().ask(MsgInputError,
                                  QStringLiteral("Поле IP-адреси поза припустимого діапазону"),
                                  kRangeHint);
        } else {
            address[size_t(i)] = quint8(*value);
            continue;
        }
        fields[i]->setFocus();
        return false;
    }
    return true;
}

void TFormAbonent::BitBtn4Click()
{
    const QString name = ui.Edit1->text();
    if (name.isEmpty()) {
        CurrentOperator().ask(MsgInputError, kNotAll, QString());
        ui.Edit1->setFocus();
        return;
    }
    if (const auto refusal = RefuseAsName(name)) {
        CurrentOperator().ask(MsgInputError, refusal->line1, refusal->line2);
        ui.Edit1->setFocus();
        return;
    }
    IpAddress address{};
    if (!readAddress(address))
        return;

    entry_.ip_adr = address;
    SetAbonentName(entry_, toCp1251(name));
    accepted_ = true;
    accept();
}

void TFormAbonent::BitBtn5Click()
{
    reject();
}
