#include "config/write_check.h"

#include "config/operator.h"

WriteCheck CompareWritten(const DeviceConfig& written, const DeviceConfig& read, FieldScope scope,
                          const FieldFilter& compared)
{
    return {true, CompareConfigs(written, read, scope, compared)};
}

QString WriteDifferenceText(const FieldDifference& d)
{
    return QStringLiteral("%1: записано %2, прочитано %3").arg(d.label, d.first, d.second);
}

void ReportWriteCheck(const WriteCheck& check)
{
    if (!check.readBack) {
        CurrentOperator().ask(MsgNotice, QStringLiteral("Запис не перевірено:"),
                              QStringLiteral("не вдалося прочитати параметри з пристрою"));
        return;
    }
    if (check.differences.isEmpty())
        return;
    QStringList lines;
    for (const FieldDifference& d : check.differences)
        lines << WriteDifferenceText(d);
    CurrentOperator().notice(QStringLiteral("Пристрій зберіг не те, що записано:"), lines);
}
