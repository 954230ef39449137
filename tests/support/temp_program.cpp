#include "support/temp_program.h"

#include "config/profile.h"
#include "config/program.h"

#include <QDir>
#include <QFile>

TempProgramDir::TempProgramDir()
    : oldProgramDir_(Program().programDir), oldSettingsPath_(Program().settingsPath)
{
    QDir(dir_.path()).mkpath(QStringLiteral("INI"));
    QDir(dir_.path()).mkpath(QStringLiteral("CONFIG"));
    Program().programDir = dir_.path() + QLatin1Char('/');
    Program().settingsPath = settingsPath();
}

TempProgramDir::~TempProgramDir()
{
    Program().programDir = oldProgramDir_;
    Program().settingsPath = oldSettingsPath_;
}

QString TempProgramDir::settingsPath() const
{
    return dir_.path() + QStringLiteral("/INI/qel_conn.ini");
}

bool TempProgramDir::mapComPort(int n, const QString& device)
{
    IniFile ini;
    if (!ini.load(settingsPath()))
        return false;
    ini.setValue("COM_PORTS", "COM" + QByteArray::number(n), QFile::encodeName(device));
    return ini.save(settingsPath());
}
