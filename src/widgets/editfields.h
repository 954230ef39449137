#pragma once
// What the parameter forms share about their fields: a field that cannot be edited at the
// moment is disabled and takes the colour of its panel, input the rules refused is reported
// to the operator with the form's own texts, the focus on the field concerned, and the
// controls of a port group or of the network group move the group's input (group_input.h)
// in and out the same way on every form.

#include <QString>

#include <array>

struct InputRefusal;
struct NetInput;
struct PortInput;
enum class InputField;
class QComboBox;
class QLineEdit;
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

// The controls of a port group on a form.
struct PortFields {
    QComboBox* regim = nullptr;
    QLineEdit* port = nullptr;
    QLineEdit* remotePort = nullptr;
    std::array<QLineEdit*, 4> remoteIp{};
    QComboBox* rate = nullptr;
    QComboBox* stopBits = nullptr;
    QComboBox* parity = nullptr;
    QComboBox* dataBits = nullptr;
    QLineEdit* timeout = nullptr;
};

// Fills the rate list with the rate table and puts the integer key filter on the number
// fields.
void SetUpPortFields(const PortFields& fields);
// Shows a group: the lists at their positions, the local port and the time-out, and the remote
// port and address, which are shown in a client mode only and are empty otherwise.
void ShowPortInput(const PortFields& fields, const PortInput& shown);
// The remote port and address as ShowPortInput shows them, the rest of the group left alone.
void ShowRemoteInput(const PortFields& fields, const PortInput& shown);
// What the operator left in the controls.
PortInput PortInputOf(const PortFields& fields);
// The control of a field of the group; octet picks one of the remote address fields. None for
// a field that is not a port group's.
QWidget* PortFieldOf(const PortFields& fields, InputField field, int octet);
// SetFieldEditable for every control of the group.
void SetPortEditable(const PortFields& fields, bool editable);
// SetFieldEditable for the remote port and address.
void SetRemoteEditable(const PortFields& fields, bool editable);

// The controls of the network group on a form: the IP mode list and the rows of octet fields
// of the address, the mask and the gateway.
struct NetFields {
    QComboBox* mode = nullptr;
    std::array<QLineEdit*, 4> ip{};
    std::array<QLineEdit*, 4> mask{};
    std::array<QLineEdit*, 4> gateway{};
};

// Puts the integer key filter on the octet fields.
void SetUpNetFields(const NetFields& fields);
// Shows the group: the mode list at its position and the twelve octets.
void ShowNetInput(const NetFields& fields, const NetInput& shown);
// What the operator left in the controls.
NetInput NetInputOf(const NetFields& fields);
// The control of a field of the group; octet picks one of the four fields of an address.
// The mode list for any other field.
QWidget* NetFieldOf(const NetFields& fields, InputField field, int octet);
// SetFieldEditable for the twelve octet fields.
void SetNetOctetsEditable(const NetFields& fields, bool editable);
