#include "config/operator.h"

namespace
{

class SilentOperator final : public Operator
{
public:
    bool ask(int, const QString&, const QString&) override { return false; }
    void busy(bool) override {}
};

SilentOperator g_silent;
Operator* g_current = nullptr;

} // namespace

void Operator::notice(const QString& title, const QStringList& lines)
{
    ask(MsgNotice, title, lines.join(QLatin1Char('\n')));
}

Operator& CurrentOperator()
{
    return g_current ? *g_current : g_silent;
}

Operator* InstallOperator(Operator* op)
{
    Operator* previous = g_current;
    g_current = op;
    return previous;
}

void ShowErrorText(const QString& text)
{
    const qsizetype nl = text.indexOf(QLatin1Char('\n'));
    CurrentOperator().ask(MsgError, nl < 0 ? text : text.left(nl),
                          nl < 0 ? QString() : text.mid(nl + 1));
}
