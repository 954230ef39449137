#pragma once
// Values the whole program shares, set once at start-up by the main window.

#include <QString>

struct ProgramValues {
    QString programDir;           // directory of the program's files, ending with '/'
    QString settingsPath;         // <programDir>INI/qel_conn.ini
    qint32 ethTimeout = 50;       // Ethernet reply time-out, ms (the tw option)
    quint64 counterFrequency = 0; // ticks per second of the exchange's clock
    quint8 connected = 0;         // 1 while a device link is open
};
ProgramValues& Program();

// The CONFIG and INI directories of the program directory (no trailing separator).
QString ConfigDirPath();
QString IniDirPath();
