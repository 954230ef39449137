#pragma once
// What the parameter forms share about their fields: a field that cannot be edited at the
// moment is disabled and takes the colour of its panel, and input the rules refused is
// reported to the operator with the form's own texts, the focus on the field concerned.

#include <QString>

struct InputRefusal;
class QWidget;

// Enables field, in the system's colour for editable fields, or disables it in the colour of
// the panel it lies on.
void SetFieldEditable(QWidget* field, bool editable);

// The texts in which the forms differ: an incomplete group, and a time-out out of range.
struct RefusalTexts {
    QString incomplete;
    QString timeoutRange;
};

// Tells the operator why the input was refused and puts the focus on field (none: the focus
// stays). A missing choice, an incomplete group and a number out of range are input errors
// (kind 2); a text that is not a number is the error of a failed number conversion (kind 1).
void ReportInputRefusal(const InputRefusal& refusal, const RefusalTexts& texts, QWidget* field);

// The two messages the connection dialog shares with the parameter forms: a field's text
// that is not a number, and a number outside its range.
void ShowNotANumber(const QString& text);
void ShowOutOfRange();
