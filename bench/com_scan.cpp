// The connection dialog's scan of the COM numbers 1..255: the [COM_PORTS] map read once
// from the settings file, then each number checked for presence and, when present, its
// device path looked up for the list's label. The settings file holds a full abonent book
// and maps 20 numbers: two to simulated devices on pseudo-terminals, the rest to paths that
// do not exist.
// 20 scans; the last line reads "scan_ms=<median>". For comparison a line before it gives
// the median of three scans with the map read again for every lookup, as the dialog did.

#include "config/profile.h"
#include "config/program.h"
#include "link/comportfunctions.h"
#include "sim/serial_device.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace
{

constexpr int kMapped = 20;
constexpr int kScans = 20;
constexpr int kPerLookupScans = 3; // each takes seconds with a full book
constexpr int kAbonents = 200;

// The port list as the dialog builds it, with the map read once.
QStringList scanOnce()
{
    QStringList ports;
    const ComPortMap map = ComPortMap::load(Program().settingsPath);
    for (int n = 1; n <= kComPortCount; ++n) {
        if (ComPortPresent(n, map))
            ports << QStringLiteral("COM%1 (%2)").arg(n).arg(ComPortDevice(n, map));
    }
    return ports;
}

// The same list with every lookup reading the settings file again.
QStringList scanPerLookup()
{
    QStringList ports;
    for (int n = 1; n <= kComPortCount; ++n) {
        if (ComPortPresent(n))
            ports << QStringLiteral("COM%1 (%2)").arg(n).arg(ComPortDevice(n));
    }
    return ports;
}

// The median of count scans, in milliseconds; *ports gets the list of the last one.
double medianMs(int count, const std::function<QStringList()>& scan, QStringList* ports)
{
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer t;
        t.start();
        *ports = scan();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    const size_t mid = ms.size() / 2;
    return ms.size() % 2 ? ms[mid] : (ms[mid - 1] + ms[mid]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    Program().settingsPath = dir.path() + QStringLiteral("/qel_conn.ini");

    SimSerialDevice sims[2];
    for (SimSerialDevice& sim : sims) {
        QString error;
        if (!sim.start(&error)) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
            return 1;
        }
    }
    // The sections the program keeps ahead of [COM_PORTS], with a full abonent book, so each
    // lookup has as much of the file to pass as it can have.
    IniFile ini;
    ini.setInt("CURR_PAR", "Conn_Prz", 0);
    ini.setInt("DIR_CONN_PAR", "COMPort", 5);
    ini.setInt("ABONENTS_CURR_PAR", "users_num", kAbonents);
    for (int i = 1; i <= kAbonents; ++i) {
        const QByteArray section = "ETHERNET_ABONENT_" + QByteArray::number(i);
        ini.setValue(section, "user_name", "abonent " + QByteArray::number(i));
        ini.setInt(section, "ip_adr", 0x7F000002 + i);
        ini.setInt(section, "port", 50000);
    }
    // Numbers spread over the whole range, the defaults' ranges included.
    for (int i = 0; i < kMapped; ++i) {
        const int n = 5 + 12 * i;
        const QString device =
            i < 2 ? sims[i].slavePath() : dir.path() + QStringLiteral("/absent-tty%1").arg(n);
        ini.setValue("COM_PORTS", "COM" + QByteArray::number(n), QFile::encodeName(device));
    }
    QString error;
    if (!ini.save(Program().settingsPath, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    QStringList ports;
    const double perLookup = medianMs(kPerLookupScans, scanPerLookup, &ports);
    const double once = medianMs(kScans, scanOnce, &ports);
    std::printf("ports found: %s\n", qPrintable(ports.join(QStringLiteral(", "))));
    std::printf("mapped=%d abonents=%d per_lookup_scan_ms=%.3f (median of %d)\n", kMapped,
                kAbonents, perLookup, kPerLookupScans);
    std::printf("scans=%d\n", kScans);
    std::printf("scan_ms=%.3f\n", once);
    return 0;
}
