#include "support/scripted_operator.h"

ScriptedOperator::ScriptedOperator() : previous_(InstallOperator(this)) {}

ScriptedOperator::~ScriptedOperator()
{
    InstallOperator(previous_);
}

bool ScriptedOperator::ask(int kind, const QString& line1, const QString& line2)
{
    asked.append({kind, line1, line2});
    return answers_.isEmpty() ? false : answers_.takeFirst();
}

void ScriptedOperator::busy(bool on)
{
    busyDepth += on ? 1 : -1;
    if (on)
        ++busyOnCount;
}

void ScriptedOperator::notice(const QString& title, const QStringList& lines)
{
    notices.append({title, lines});
}
