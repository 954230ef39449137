#include "widgets/editfields.h"

#include "config/group_input.h"
#include "config/operator.h"

#include <QGuiApplication>
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
