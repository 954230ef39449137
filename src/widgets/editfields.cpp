#include "widgets/editfields.h"

#include "config/group_input.h"
#include "config/operator.h"
#include "config/rates.h"
#include "widgets/suplfunc.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPalette>
#include <QWidget>

void SetFieldEditable(QWidget* field, bool editable)
{
    if (!field)
        return;
    field->setEnabled(editable);
    const QWidget* panel = field->parentWidget() ? field->parentWidget() : field;
    QPalette pal = field->palette();
    pal.setColor(QPalette::Base, editable ? QGuiApplication::palette().color(QPalette::Base)
                                          : panel->palette().color(QPalette::Window));
    field->setPalette(pal);
}

void ShowNotANumber(const QString& text)
{
    CurrentOperator().ask(MsgError, QStringLiteral("'%1' не є цілим числом").arg(text), QString());
}

void ShowOutOfRange()
{
    CurrentOperator().ask(MsgInputError, QStringLiteral("Введіть значення "),
                          QStringLiteral("відповідно до заданого діапазону"));
}

void ReportInputRefusal(const InputRefusal& refusal, const RefusalTexts& texts, QWidget* field)
{
    switch (refusal.kind) {
    case InputRefusal::NoMode:
        CurrentOperator().ask(MsgInputError, QStringLiteral("Не задано режим зміни параметрів IP"),
                              QString());
        break;
    case InputRefusal::Incomplete:
        CurrentOperator().ask(MsgInputError, texts.incomplete, QString());
        break;
    case InputRefusal::NotANumber:
        ShowNotANumber(refusal.text);
        break;
    case InputRefusal::OutOfRange:
        ShowOutOfRange();
        break;
    case InputRefusal::TimeoutRange:
        CurrentOperator().ask(MsgInputError, texts.timeoutRange, QString());
        break;
    }
    if (field)
        field->setFocus();
}

void SetUpPortFields(const PortFields& fields)
{
    for (QLineEdit* field : {fields.port, fields.remotePort, fields.timeout})
        InstallIntKeyFilter(field);
    for (QLineEdit* field : fields.remoteIp)
        InstallIntKeyFilter(field);
    fields.rate->clear();
    for (int rate : kBaudRates)
        fields.rate->addItem(QString::number(rate));
}

void ShowPortInput(const PortFields& fields, const PortInput& shown)
{
    fields.regim->setCurrentIndex(shown.regim);
    fields.port->setText(shown.port);
    ShowRemoteInput(fields, shown);
    fields.rate->setCurrentIndex(shown.rate);
    fields.stopBits->setCurrentIndex(shown.stopBits);
    fields.parity->setCurrentIndex(shown.parity);
    fields.dataBits->setCurrentIndex(shown.dataBits);
    fields.timeout->setText(shown.timeout);
}

void ShowRemoteInput(const PortFields& fields, const PortInput& shown)
{
    const bool client = IsClientMode(shown.regim);
    fields.remotePort->setText(client ? shown.remotePort : QString());
    for (size_t k = 0; k < fields.remoteIp.size(); ++k)
        fields.remoteIp[k]->setText(client ? shown.remoteIp[k] : QString());
}

PortInput PortInputOf(const PortFields& fields)
{
    PortInput input;
    input.regim = fields.regim->currentIndex();
    input.port = fields.port->text();
    input.remotePort = fields.remotePort->text();
    for (size_t k = 0; k < fields.remoteIp.size(); ++k)
        input.remoteIp[k] = fields.remoteIp[k]->text();
    input.rate = fields.rate->currentIndex();
    input.stopBits = fields.stopBits->currentIndex();
    input.parity = fields.parity->currentIndex();
    input.dataBits = fields.dataBits->currentIndex();
    input.timeout = fields.timeout->text();
    return input;
}

QWidget* PortFieldOf(const PortFields& fields, InputField field, int octet)
{
    switch (field) {
    case InputField::Regim:
        return fields.regim;
    case InputField::Port:
        return fields.port;
    case InputField::RemotePort:
        return fields.remotePort;
    case InputField::RemoteIp:
        return fields.remoteIp[size_t(qBound(0, octet, 3))];
    case InputField::Rate:
        return fields.rate;
    case InputField::StopBits:
        return fields.stopBits;
    case InputField::Parity:
        return fields.parity;
    case InputField::DataBits:
        return fields.dataBits;
    case InputField::Timeout:
        return fields.timeout;
    default:
        return nullptr;
    }
}

void SetPortEditable(const PortFields& fields, bool editable)
{
    for (QWidget* field :
         {static_cast<QWidget*>(fields.regim), static_cast<QWidget*>(fields.port),
          static_cast<QWidget*>(fields.rate), static_cast<QWidget*>(fields.stopBits),
          static_cast<QWidget*>(fields.parity), static_cast<QWidget*>(fields.dataBits),
          static_cast<QWidget*>(fields.timeout)})
        SetFieldEditable(field, editable);
    SetRemoteEditable(fields, editable);
}

void SetRemoteEditable(const PortFields& fields, bool editable)
{
    SetFieldEditable(fields.remotePort, editable);
    for (QLineEdit* field : fields.remoteIp)
        SetFieldEditable(field, editable);
}

namespace
{

// The rows of octet fields, in the order of the form: address, mask, gateway.
std::array<const std::array<QLineEdit*, 4>*, 3> octetRows(const NetFields& fields)
{
    return {&fields.ip, &fields.mask, &fields.gateway};
}

} // namespace

void SetUpNetFields(const NetFields& fields)
{
    for (const auto* row : octetRows(fields)) {
        for (QLineEdit* field : *row)
            InstallIntKeyFilter(field);
    }
}

void ShowNetInput(const NetFields& fields, const NetInput& shown)
{
    fields.mode->setCurrentIndex(shown.mode);
    for (size_t k = 0; k < 4; ++k) {
        fields.ip[k]->setText(shown.ip[k]);
        fields.mask[k]->setText(shown.mask[k]);
        fields.gateway[k]->setText(shown.gateway[k]);
    }
}

NetInput NetInputOf(const NetFields& fields)
{
    NetInput input;
    input.mode = fields.mode->currentIndex();
    for (size_t k = 0; k < 4; ++k) {
        input.ip[k] = fields.ip[k]->text();
        input.mask[k] = fields.mask[k]->text();
        input.gateway[k] = fields.gateway[k]->text();
    }
    return input;
}

QWidget* NetFieldOf(const NetFields& fields, InputField field, int octet)
{
    const size_t k = size_t(qBound(0, octet, 3));
    switch (field) {
    case InputField::Ip:
        return fields.ip[k];
    case InputField::Mask:
        return fields.mask[k];
    case InputField::Gateway:
        return fields.gateway[k];
    default:
        return fields.mode;
    }
}

void SetNetOctetsEditable(const NetFields& fields, bool editable)
{
    for (const auto* row : octetRows(fields)) {
        for (QLineEdit* field : *row)
            SetFieldEditable(field, editable);
    }
}
