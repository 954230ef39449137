#include "config/program.h"

ProgramValues& Program()
{
    static ProgramValues values;
    return values;
}

QString ConfigDirPath()
{
    return Program().programDir + QStringLiteral("CONFIG");
}

QString IniDirPath()
{
    return Program().programDir + QStringLiteral("INI");
}
