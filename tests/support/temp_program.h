#pragma once
// A temporary program directory for tests: Program().programDir and settingsPath point into
// it for the lifetime of the object, and COM numbers can be mapped to devices through the
// [COM_PORTS] section of its settings file.

#include <QString>
#include <QTemporaryDir>

class TempProgramDir
{
public:
    TempProgramDir();  // creates the directory with INI/ and CONFIG/ and points Program() at it
    ~TempProgramDir(); // puts the previous values back
    TempProgramDir(const TempProgramDir&) = delete;
    TempProgramDir& operator=(const TempProgramDir&) = delete;

    bool isValid() const { return dir_.isValid(); }
    QString path() const { return dir_.path(); }
    QString settingsPath() const;

    // Writes COMn=<device> into [COM_PORTS] of the settings file.
    bool mapComPort(int n, const QString& device);

private:
    QTemporaryDir dir_;
    QString oldProgramDir_;
    QString oldSettingsPath_;
};
