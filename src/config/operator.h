#pragma once
// How the layers below the UI talk to the operator without knowing about windows: questions and
// notices, the wait cursor. The application installs the real operator at start-up; tests
// and the command-line tool install their own.

#include <QString>
#include <QStringList>

// Kinds of the message dialog.
enum MessageKinds {
    MsgError = 1,
    MsgInputError = 2,
    MsgQuestion = 3,
    MsgNotice = 6,
    MsgRetry = 7, // third line "Повторити спробу?"; callers repeat while the answer is yes
};

class Operator
{
public:
    virtual ~Operator() = default;
    // Shows a message of the given kind with two lines; true when the operator answered "Так".
    virtual bool ask(int kind, const QString& line1, const QString& line2) = 0;
    // The wait cursor, on around device operations.
    virtual void busy(bool on) = 0;
    // Shows a notice of a title and a list of lines, as plain text, for more lines than the
    // message dialog holds. By default the lines, one below the other, go under the title in
    // a notice of the message dialog.
    virtual void notice(const QString& title, const QStringList& lines);
};

// The installed operator. Until one is installed, a silent one answers "Ні" to everything.
Operator& CurrentOperator();
// Installs op (not owned; nullptr goes back to the silent one) and returns the previous one.
Operator* InstallOperator(Operator* op);

// Shows an error message of two lines: the text up to its first line break, and the rest.
void ShowErrorText(const QString& text);

// Keeps the wait cursor on for a scope.
class BusyScope
{
public:
    BusyScope() { CurrentOperator().busy(true); }
    ~BusyScope() { CurrentOperator().busy(false); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
};
