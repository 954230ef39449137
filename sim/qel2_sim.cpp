// qel2_sim: stands in for a QEL_2 device so the tool can be run without hardware.
//
//   qel2_sim [--serial] [--udp [ADDR]] [--device-port N] [--reply-port N]
//            [--mac 00:1A:2B:3C:4D:5E] [--name TEXT] [--version N] [--delay MS]
//
// prints the pseudo-terminal path to open as the COM port on one line, then the UDP address
// and port on another, for the sides that run, and answers until it is stopped (Ctrl+C or a
// termination signal). Both sides are one device: a write over one is seen on the other.

#include "config/cp1251.h"
#include "sim/serial_device.h"
#include "sim/udp_device.h"

#include <QCoreApplication>
#include <QStringList>

#include <csignal>
#include <cstdio>

namespace
{

const char kUsage[] =
    "Usage: qel2_sim [--serial] [--udp [ADDR]] [--device-port N] [--reply-port N]\n"
    "                [--mac XX:XX:XX:XX:XX:XX] [--name TEXT] [--version N] [--delay MS]\n"
    "\n"
    "Simulates a QEL_2 device with its mode switch in the configuration position, on a\n"
    "serial line, on the network, or on both at once as one device.\n"
    "  --serial        answer on a pseudo-terminal; its path is printed on one line\n"
    "  --udp [ADDR]    answer UDP datagrams on this loopback address (127.0.0.0/8, default\n"
    "                  127.0.0.2); ADDR:PORT is printed on a line of its own, after the\n"
    "                  pseudo-terminal path when both run\n"
    "  --device-port N the UDP port the device listens on, 0..65535 (default 50000; 0 lets\n"
    "                  the system choose, the line printed tells which)\n"
    "  --reply-port N  the UDP port the device answers to, 1..65535 (default 60000)\n"
    "  --mac M         the MAC address the device reports (default 00:1A:2B:3C:4D:5E)\n"
    "  --name TEXT     the device name (at most 20 characters)\n"
    "  --version N     the firmware version the device reports, 0..255 (default 39)\n"
    "  --delay MS      a slow device: this pause before every answer, 0..60000 (default 0)\n"
    "  --help          this text\n"
    "Runs until it is stopped with Ctrl+C or a termination signal.\n";

// N numbers separated by sep, each of minDigits to maxDigits digits in base and at most 255.
template <size_t N>
bool parseBytes(const QString& text, QChar sep, int base, int minDigits, int maxDigits,
                std::array<quint8, N>& out)
{
    const QStringList parts = text.split(sep);
    if (parts.size() != int(N))
        return false;
    for (size_t i = 0; i < N; ++i) {
        const QString& part = parts[int(i)];
        bool ok = false;
        const uint v = part.toUInt(&ok, base);
        if (!ok || part.size() < minDigits || part.size() > maxDigits || v > 0xFF)
            return false;
        out[i] = quint8(v);
    }
    return true;
}

bool parseMac(const QString& text, std::array<quint8, 6>& mac)
{
    return parseBytes(text, QLatin1Char(':'), 16, 2, 2, mac);
}

// An address in dotted notation.
bool parseAddress(const QString& text, IpAddress& ip)
{
    return parseBytes(text, QLatin1Char('.'), 10, 1, 3, ip);
}

bool parsePort(const QString& text, uint min, quint16& port)
{
    bool ok = false;
    const uint v = text.toUInt(&ok, 10);
    if (!ok || v < min || v > 65535)
        return false;
    port = quint16(v);
    return true;
}

// The device as the program starts it: addressed on the loopback network it will answer on,
// port 1 a TCP server, port 2 a TCP client of a host there, both at 9600 bit/s.
SimDeviceState demoDevice()
{
    SimDeviceState state;
    SimParams& p = state.params;
    p.ip = {127, 0, 0, 2};
    p.mask = {255, 0, 0, 0};
    p.gateway = {127, 0, 0, 1};
    p.ports[0].regim = 0;
    p.ports[0].port = 4001;
    p.ports[1].regim = 1;
    p.ports[1].port = 4002;
    p.ports[1].remoteIp = {127, 0, 0, 1};
    p.ports[1].remotePort = 5000;
    p.port2Enabled = 1;
    state.saved = p;
    return state;
}

int usageError(const QString& text)
{
    std::fprintf(stderr, "qel2_sim: %s\n\n%s", qPrintable(text), kUsage);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);

    bool serial = false;
    bool udp = false;
    IpAddress udpAddress{{127, 0, 0, 2}};
    quint16 devicePort = kSimDevicePort;
    quint16 replyPort = kSimReplyPort;
    SimDeviceState state = demoDevice();
    SimSerialFaults faults;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == QLatin1String("--serial")) {
            serial = true;
        } else if (a == QLatin1String("--udp")) {
            udp = true;
            if (hasValue && !args[i + 1].startsWith(QLatin1Char('-'))) {
                if (!parseAddress(args[++i], udpAddress))
                    return usageError(QStringLiteral("not an IPv4 address: ") + args[i]);
                if (udpAddress[0] != 127)
                    return usageError(QStringLiteral("the device listens on a loopback address "
                                                     "(127.0.0.0/8) only: ") +
                                      args[i]);
            }
        } else if (a == QLatin1String("--device-port") && hasValue) {
            if (!parsePort(args[++i], 0, devicePort))
                return usageError(QStringLiteral("not a port 0..65535: ") + args[i]);
        } else if (a == QLatin1String("--reply-port") && hasValue) {
            if (!parsePort(args[++i], 1, replyPort))
                return usageError(QStringLiteral("not a port 1..65535: ") + args[i]);
        } else if (a == QLatin1String("--mac") && hasValue) {
            if (!parseMac(args[++i], state.mac))
                return usageError(QStringLiteral("not a MAC address: ") + args[i]);
        } else if (a == QLatin1String("--name") && hasValue) {
            bool ok = true;
            const QByteArray name = toCp1251(args[++i], &ok);
            if (!ok || name.size() > 20)
                return usageError(QStringLiteral("the name must be at most 20 Windows-1251 "
                                                 "characters: ") +
                                  args[i]);
            state.name = name;
        } else if (a == QLatin1String("--version") && hasValue) {
            bool ok = false;
            const uint v = args[++i].toUInt(&ok);
            if (!ok || v > 255)
                return usageError(QStringLiteral("not a version 0..255: ") + args[i]);
            state.version = quint8(v);
        } else if (a == QLatin1String("--delay") && hasValue) {
            bool ok = false;
            const uint ms = args[++i].toUInt(&ok);
            if (!ok || ms > 60000)
                return usageError(QStringLiteral("not a delay 0..60000 ms: ") + args[i]);
            faults.firstByteDelayMs = int(ms);
        } else {
            return usageError(QStringLiteral("unknown or incomplete option: ") + a);
        }
    }
    if (!serial && !udp)
        return usageError(QStringLiteral("choose a side to simulate (--serial, --udp or both)"));
    if (udp) {
        // The device reports the address it is found at.
        state.params.ip = udpAddress;
        state.saved.ip = udpAddress;
    }

    // Wait for the stop signals synchronously instead of handling them asynchronously.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr); // the device threads inherit it

    const auto device = std::make_shared<SimDevice>(state);
    SimSerialDevice serialSide(device);
    SimUdpDevice udpSide(device);
    QString error;
    if (serial) {
        serialSide.setFaults(faults);
        if (!serialSide.start(&error)) {
            std::fprintf(stderr, "qel2_sim: cannot create the pseudo-terminal: %s\n",
                         qPrintable(error));
            return 1;
        }
        std::printf("%s\n", qPrintable(serialSide.slavePath()));
    }
    if (udp) {
        SimUdpFaults udpFaults;
        udpFaults.replyDelayMs = faults.firstByteDelayMs;
        udpSide.setFaults(udpFaults);
        udpSide.setAddress(udpAddress);
        udpSide.setDevicePort(devicePort);
        udpSide.setReplyPort(replyPort);
        if (!udpSide.start(&error)) {
            std::fprintf(stderr, "qel2_sim: cannot listen on %s:%u: %s\n",
                         qPrintable(AddressText(udpAddress)), uint(devicePort), qPrintable(error));
            return 1;
        }
        std::printf("%s:%u\n", qPrintable(AddressText(udpSide.address())),
                    uint(udpSide.devicePort()));
    }
    std::fflush(stdout);

    int sig = 0;
    sigwait(&stopSignals, &sig);
    udpSide.stop();
    serialSide.stop();
    return 0;
}
