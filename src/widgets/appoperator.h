#pragma once
// The operator of the running program: questions and notices in the message dialog, lists in
// the notice of a list, the wait cursor as the application's override cursor.

#include "config/operator.h"

class AppOperator final : public Operator
{
public:
    AppOperator() = default;
    ~AppOperator() override;

    // Sets MessageKind, shows the message dialog, and reports whether "Так" was pressed.
    bool ask(int kind, const QString& line1, const QString& line2) override;
    // Nested calls keep the wait cursor on until the outermost one switches it off; an
    // unmatched "off" does nothing.
    void busy(bool on) override;
    // Shows the notice of a list (widgets/noticelist.h).
    void notice(const QString& title, const QStringList& lines) override;

private:
    int busyDepth_ = 0;
};
