// qel2_sim: stands in for QEL_2 devices so the tool can be run without hardware.
//
//   qel2_sim [--serial] [--udp [ADDR] [--mac M] [--name TEXT] [--version N]
//            [--drop-field KEY]]... [--device-port N] [--reply-port N] [--delay MS]
//
// prints the pseudo-terminal path to open as the COM port on one line, then the UDP address
// and port of every UDP device on a line each, for the sides that run, and answers until it
// is stopped (Ctrl+C or a termination signal). Every --udp is a device of its own; the serial
// side and the first UDP device are one device: a write over one is seen on the other.

#include "config/cp1251.h"
#include "sim/serial_device.h"
#include "sim/udp_device.h"

#include <QCoreApplication>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

namespace
{

const char kUsage[] =
    "Usage: qel2_sim [--serial] [--udp [ADDR] [--mac M] [--name TEXT] [--version N]\n"
    "                [--drop-field KEY]]... [--device-port N] [--reply-port N] [--delay MS]\n"
    "\n"
    "Simulates QEL_2 devices with their mode switch in the configuration position, on a\n"
    "serial line, on the network, or on both at once.\n"
    "  --serial        answer on a pseudo-terminal; its path is printed on one line\n"
    "  --udp [ADDR]    a device answering UDP datagrams on this loopback address (127.0.0.0/8,\n"
    "                  default 127.0.0.2 for the first, the address after the one before for\n"
    "                  the others), and broadcasts to 127.255.255.255; ADDR:PORT is printed\n"
    "                  on a line of its own. May be repeated, each a device of its own with its\n"
    "                  own address; the lines follow in order, after the pseudo-terminal path.\n"
    "                  The serial side and the first UDP device are one device\n"
    "  --device-port N the UDP port the devices listen on, 0..65535 (default 50000; 0 lets\n"
    "                  the system choose, the lines printed tell which)\n"
    "  --reply-port N  the UDP port the devices answer to, 1..65535 (default 60000)\n"
    "  --mac M         the MAC address the device reports (default 00:1A:2B:3C:4D:5E)\n"
    "  --name TEXT     the device name (at most 20 Windows-1251 characters)\n"
    "  --version N     the firmware version the device reports, 0..255 (default 39)\n"
    "  --drop-field KEY\n"
    "                  a faulty device: every write, acknowledged as usual, leaves this\n"
    "                  field as it was; KEY as qel2_cli prints it: box_name, is_port2, ip_prz,\n"
    "                  ip_adr, net_mask, gateway, or port1. or port2. followed by regim, port,\n"
    "                  remote_ip_adr, remote_port, rate, port_sett[0..2] or timeout\n"
    "  --delay MS      slow devices: this pause before every answer, 0..60000 (default 0)\n"
    "  --help          this text\n"
    "--mac, --name, --version and --drop-field after an --udp are that device's; before the\n"
    "first --udp (or with --serial only) they are the first device's. A later device without\n"
    "its own MAC, name or version takes the first one's MAC with the last byte increased by\n"
    "its index (the second +1, ...), the first one's name followed by \" 2\", \" 3\", ... (the\n"
    "number alone when the first has none), and the first one's version; it drops a field\n"
    "only when told so itself.\n"
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

// What the command line says of one device; what it leaves unset a later device takes from
// the first.
struct DeviceOptions {
    IpAddress address{{127, 0, 0, 2}};
    std::optional<std::array<quint8, 6>> mac;
    std::optional<QByteArray> name;
    std::optional<quint8> version;
    QString dropField; // this device's own: a later device does not take the first one's
};

// The name of the device with this index (0 for the first) when it has none of its own: the
// first one's followed by its number, cut so the whole stays within 20 bytes.
QByteArray numberedName(const QByteArray& first, size_t index)
{
    if (index == 0)
        return first;
    const QByteArray number = QByteArray::number(qulonglong(index + 1));
    if (first.isEmpty())
        return number;
    return first.left(20 - 1 - number.size()) + ' ' + number;
}

// The device with this index as the program starts it.
SimDeviceState deviceState(const std::vector<DeviceOptions>& devices, size_t index, bool udp)
{
    const DeviceOptions& first = devices.front();
    const DeviceOptions& own = devices[index];
    SimDeviceState state = demoDevice();
    std::array<quint8, 6> mac = first.mac.value_or(state.mac);
    mac[5] = quint8(mac[5] + index);
    state.mac = own.mac.value_or(mac);
    state.name = own.name.value_or(numberedName(first.name.value_or(QByteArray()), index));
    state.version = own.version.value_or(first.version.value_or(state.version));
    state.dropField = own.dropField;
    if (udp) {
        // The device reports the address it is found at.
        state.params.ip = own.address;
        state.saved.ip = own.address;
    }
    return state;
}

// The address after ip: its last number up by one, carrying into the numbers before it.
IpAddress nextAddress(IpAddress ip)
{
    for (int i = 3; i >= 0 && ++ip[size_t(i)] == 0; --i) {
    }
    return ip;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);

    bool serial = false;
    quint16 devicePort = kSimDevicePort;
    quint16 replyPort = kSimReplyPort;
    // The first device is there before the first --udp: the options before it are its own.
    std::vector<DeviceOptions> devices(1);
    size_t udpCount = 0;
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
            if (udpCount > 0)
                devices.push_back({nextAddress(devices.back().address), {}, {}, {}, {}});
            ++udpCount;
            IpAddress& address = devices.back().address;
            if (hasValue && !args[i + 1].startsWith(QLatin1Char('-')) &&
                !parseAddress(args[++i], address))
                return usageError(QStringLiteral("not an IPv4 address: ") + args[i]);
            // Checked for an address that follows the one before too.
            if (address[0] != 127 || address == kSimLoopbackBroadcast)
                return usageError(QStringLiteral("a device listens on a loopback address "
                                                 "(127.0.0.0/8, not 127.255.255.255) only: ") +
                                  AddressText(address));
            for (size_t d = 0; d + 1 < devices.size(); ++d) {
                if (devices[d].address == address)
                    return usageError(QStringLiteral("two devices on one address: ") +
                                      AddressText(address));
            }
        } else if (a == QLatin1String("--device-port") && hasValue) {
            if (!parsePort(args[++i], 0, devicePort))
                return usageError(QStringLiteral("not a port 0..65535: ") + args[i]);
        } else if (a == QLatin1String("--reply-port") && hasValue) {
            if (!parsePort(args[++i], 1, replyPort))
                return usageError(QStringLiteral("not a port 1..65535: ") + args[i]);
        } else if (a == QLatin1String("--mac") && hasValue) {
            std::array<quint8, 6> mac{};
            if (!parseMac(args[++i], mac))
                return usageError(QStringLiteral("not a MAC address: ") + args[i]);
            devices.back().mac = mac;
        } else if (a == QLatin1String("--name") && hasValue) {
            bool ok = true;
            const QByteArray name = toCp1251(args[++i], &ok);
            if (!ok || name.size() > 20)
                return usageError(QStringLiteral("the name must be at most 20 Windows-1251 "
                                                 "characters: ") +
                                  args[i]);
            devices.back().name = name;
        } else if (a == QLatin1String("--version") && hasValue) {
            bool ok = false;
            const uint v = args[++i].toUInt(&ok);
            if (!ok || v > 255)
                return usageError(QStringLiteral("not a version 0..255: ") + args[i]);
            devices.back().version = quint8(v);
        } else if (a == QLatin1String("--drop-field") && hasValue) {
            if (!IsSimFieldKey(args[++i]))
                return usageError(QStringLiteral("not a field of the configuration: ") + args[i]);
            devices.back().dropField = args[i];
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
    if (!serial && udpCount == 0)
        return usageError(QStringLiteral("choose a side to simulate (--serial, --udp or both)"));

    // Wait for the stop signals synchronously instead of handling them asynchronously.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr); // the device threads inherit it

    // The serial side is the first device's; the UDP devices stop before it.
    const auto first = std::make_shared<SimDevice>(deviceState(devices, 0, udpCount > 0));
    SimSerialDevice serialSide(first);
    std::vector<std::unique_ptr<SimUdpDevice>> udpSides;
    QString error;
    if (serial) {
        serialSide.setFaults(faults);
        if (!serialSide.start(&error)) {
            std::fprintf(stderr, "qel2_sim: cannot create the pseudo-terminal: %s\n",
                         qPrintable(error));
            return 1;
        }
    }
    SimUdpFaults udpFaults;
    udpFaults.replyDelayMs = faults.firstByteDelayMs;
    for (size_t d = 0; d < udpCount; ++d) {
        auto device = d == 0 ? first : std::make_shared<SimDevice>(deviceState(devices, d, true));
        udpSides.push_back(std::make_unique<SimUdpDevice>(device));
        SimUdpDevice& side = *udpSides.back();
        side.setFaults(udpFaults);
        side.setAddress(devices[d].address);
        // With port 0 the first device gets one from the system, and the others share it.
        side.setDevicePort(d == 0 ? devicePort : udpSides.front()->devicePort());
        side.setReplyPort(replyPort);
        if (!side.start(&error)) {
            std::fprintf(stderr, "qel2_sim: cannot listen on %s:%u: %s\n",
                         qPrintable(AddressText(devices[d].address)), uint(side.devicePort()),
                         qPrintable(error));
            return 1;
        }
    }
    if (serial)
        std::printf("%s\n", qPrintable(serialSide.slavePath()));
    for (const auto& side : udpSides)
        std::printf("%s:%u\n", qPrintable(AddressText(side->address())), uint(side->devicePort()));
    std::fflush(stdout);

    int sig = 0;
    sigwait(&stopSignals, &sig);
    for (const auto& side : udpSides)
        side->stop();
    serialSide.stop();
    return 0;
}
