// qel2_cli: the tool's configuration and link code with no window, for scripted service
// work on many devices: show a .cnf file, read a device into one, write one to a device (and
// read it back to see that it kept what was written), compare two configurations, and the
// data queries. It asks no questions: a failed command is reported and ends the run.

#include "config/cnf_file.h"
#include "config/config_fields.h"
#include "config/cp1251.h"
#include "config/operator.h"
#include "config/program.h"
#include "config/rd_wr_ini.h"
#include "config/write_check.h"
#include "link/comportfunctions.h"
#include "link/conffun.h"
#include "link/discover.h"
#include "link/ethr_conffun.h"
#include "link/qelbox.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace
{

enum ExitCodes { ExitOk = 0, ExitLink = 1, ExitUsage = 2, ExitDiffer = 1 };

const char* const kHelp = R"(Usage:
  qel2_cli show FILE.cnf                    print a configuration, one field per line
  qel2_cli read  --com N [-o FILE.cnf]      read network, port 1 and port 2 over serial;
                                            print them, or save them as a .cnf file
  qel2_cli write --com N FILE.cnf           write a file's network and ports to the device
                                            (each group is saved to EEPROM and the device
                                            restarts after it)
  qel2_cli query --com N mac|tcp1|tcp2      the MAC address, or the TCP state of port 1 or 2
  qel2_cli read  --ip A.B.C.D [-o FILE.cnf] the whole configuration over Ethernet (UDP)
  qel2_cli write --ip A.B.C.D FILE.cnf      write a file's configuration over Ethernet; when
                                            it gives the device a new address, the link
                                            follows the device there and reads it back
  qel2_cli query --ip A.B.C.D mac           the MAC address over Ethernet
  qel2_cli discover [--iface NAME]... [--window MS] [-v]
                                            find devices by broadcast: one line per device,
                                            MAC, address, vVERSION, interface, name; a
                                            version other than 39 is marked (not served)
  qel2_cli diff A B                         the fields that differ between two
                                            configurations; A and B are each a FILE.cnf,
                                            --com N or --ip A.B.C.D

Options for the device commands over a serial link:
  --com N            COM port number 1..255 (on Linux mapped to a device through
                     [COM_PORTS] of the settings file, else COM1..32 /dev/ttyS*,
                     COM33..64 /dev/ttyUSB*, COM65..96 /dev/ttyACM*)
  --wait SECONDS     wait for the first reply byte, 1..120 (default 2)
  --gap MS           longest gap between reply bytes, 1..5000 (default 100)
  --ini FILE         the settings file (default INI/qel_conn.ini in the program directory)
The serial link runs at 9600 bit/s, 8N1.
Options for the device commands over Ethernet:
  --ip A.B.C.D       the device's IPv4 address (a broadcast address sends broadcasts)
  --tw MS            wait for each reply datagram, 1..100000 ms (default 50)
  --device-port N    the device's UDP port (default 50000)
  --reply-port N     the local UDP port the replies come to (default 60000)
Both links:
  --attempts K       attempts per command or datagram, 1..5 (default 1); more attempts
                     give a device more time for the restart that ends a write
  --no-verify        write without comparing what the device reports afterwards
Options for discover (with --device-port and --reply-port above):
  --iface NAME       search on this interface (may be repeated); without it, on the
                     interfaces that SearchInterfaces in [QEL2_SERV] of the settings file
                     names, or on every interface when it names none. On the loopback
                     interface only 127.255.255.255 is used.
  --window MS        how long replies are collected, 1..60000 ms (default 1000)
  -v                 print what the search tried and what came back (on stderr)
Only devices with firmware version 39 are served.

A write is verified: the device is read back, and every field the write sent is compared
with what was written. Each field the device did not keep is printed on stdout as
"KEY: written X, read Y", and the run fails. Over serial the name, the port 2 switch and the
address assignment (ip_prz) cannot be read back and are not compared, nor are the fields the
write does not send: the addresses when ip_prz is not 0, the remote address and port of a
port in a server mode. Over Ethernet every field is compared.

Output of show and read: one line per field, its name and its value. Addresses are
dotted, the MAC is colon hex, names are UTF-8, codes carry their meaning in parentheses.
Output of diff: one line per field that differs, "KEY: A-VALUE | B-VALUE", and nothing when
the two are equal. When a side is read over serial, the fields the serial link cannot read
(box_name, is_port2, ip_prz) are left out.

Exit status: 0 success; 1 the device or the link failed (the reason on stderr: for a
command, the first one the device did not acknowledge, and why; a write counts as done only
when every command of it was acknowledged, the save to EEPROM and the restart included, and
over Ethernet when the device answered the write and its configuration could be read back);
2 bad usage or a bad file (what is wrong on stderr). A write that the device acknowledged
but did not keep, or that could not be read back for its verification, exits with 1 too.
diff exits with 0 when the two configurations are equal, 1 when they differ or when a device
or the link failed (the reason on stderr, nothing on stdout), 2 for bad usage or a bad file.
discover exits 1 when it finds no device, and then prints what it tried and the usual
causes on stderr.
)";

QTextStream& out()
{
    static QTextStream s(stdout);
    return s;
}

QTextStream& err()
{
    static QTextStream s(stderr);
    return s;
}

// Answers every question "Ні" and reports it on stderr, so a failed command ends the run.
class CliOperator final : public Operator
{
public:
    bool ask(int kind, const QString& line1, const QString& line2) override
    {
        const QString prefix =
            kind == MsgNotice ? QStringLiteral("notice: ") : QStringLiteral("error: ");
        err() << prefix << line1;
        if (!line2.isEmpty())
            err() << " " << line2;
        err() << Qt::endl;
        return false;
    }
    void busy(bool) override {}
};

void printConfig(const DeviceConfig& cfg)
{
    out() << "box_vers " << cfg.box_vers << "\n"
          << "Mac_addres " << MacText(cfg) << "\n";
    for (const ConfigField& f : ConfigFields())
        out() << f.key << " " << f.text(cfg) << "\n";
    out().flush();
}

// One side of diff: a .cnf file, or a device over serial or Ethernet.
struct Source {
    QString file;
    int com = 0;
    std::optional<IpAddress> ip;
};

struct Options {
    QString command;
    QStringList positional;
    QList<Source> sources; // files, --com and --ip in the order given
    int com = 0;
    int wait = 2;
    int gap = 100;
    int attempts = 1;
    QString outFile;
    QString ini;
    std::optional<IpAddress> ip; // over Ethernet to this address
    int tw = 50;
    int devicePort = kDeviceUdpPort;
    int replyPort = kReplyUdpPort;
    QStringList interfaces; // discover: --iface
    int windowMs = 1000;    // discover: --window
    bool verbose = false;   // discover: -v
    bool verify = true;
};

// A dotted IPv4 address, four numbers 0..255.
std::optional<IpAddress> parseAddress(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    IpAddress a{};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const uint v = parts[i].toUInt(&ok);
        if (!ok || v > 255 || parts[i].isEmpty() || parts[i].size() > 3)
            return std::nullopt;
        a[size_t(i)] = quint8(v);
    }
    return a;
}

int usage(const QString& what)
{
    err() << "qel2_cli: " << what << "\nTry 'qel2_cli --help'." << Qt::endl;
    return ExitUsage;
}

// Parses "--name value" pairs and positionals; false with *problem set on a bad argument.
bool parse(const QStringList& args, Options& o, QString* problem)
{
    struct IntOption {
        const char* name;
        int* value;
        int min, max;
    };
    const IntOption ints[] = {{"--com", &o.com, 1, 255},
                              {"--wait", &o.wait, 1, 120},
                              {"--gap", &o.gap, 1, 5000},
                              {"--attempts", &o.attempts, 1, 5},
                              {"--tw", &o.tw, 1, 100000},
                              {"--device-port", &o.devicePort, 1, 65535},
                              {"--reply-port", &o.replyPort, 1, 65535},
                              {"--window", &o.windowMs, 1, 60000}};
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const auto next = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        bool handled = false;
        for (const IntOption& opt : ints) {
            if (a != QLatin1String(opt.name))
                continue;
            handled = true;
            const auto v = next();
            bool ok = false;
            const int n = v ? v->toInt(&ok) : 0;
            if (!ok || n < opt.min || n > opt.max) {
                *problem = QStringLiteral("%1 takes a whole number from %2 to %3")
                               .arg(opt.name)
                               .arg(opt.min)
                               .arg(opt.max);
                return false;
            }
            *opt.value = n;
        }
        if (handled) {
            if (a == QLatin1String("--com"))
                o.sources.append({QString(), o.com, std::nullopt});
            continue;
        }
        if (a == QLatin1String("--ip")) {
            const auto v = next();
            o.ip = v ? parseAddress(*v) : std::nullopt;
            if (!o.ip) {
                *problem = QStringLiteral("--ip takes an IPv4 address such as 127.0.0.2");
                return false;
            }
            o.sources.append({QString(), 0, o.ip});
        } else if (a == QLatin1String("-v")) {
            o.verbose = true;
        } else if (a == QLatin1String("--iface")) {
            const auto v = next();
            if (!v || v->isEmpty()) {
                *problem = QStringLiteral("--iface takes an interface name such as lo");
                return false;
            }
            o.interfaces << *v;
        } else if (a == QLatin1String("--no-verify")) {
            o.verify = false;
        } else if (a == QLatin1String("-o") || a == QLatin1String("--ini")) {
            const auto v = next();
            if (!v || v->isEmpty()) {
                *problem = a + QStringLiteral(" takes a file name");
                return false;
            }
            (a == QLatin1String("-o") ? o.outFile : o.ini) = *v;
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            *problem = QStringLiteral("unknown option %1").arg(a);
            return false;
        } else if (o.command.isEmpty()) {
            o.command = a;
        } else {
            o.positional << a;
            o.sources.append({a, 0, std::nullopt});
        }
    }
    return true;
}

// The program directory, as the window tool works it out: where this program file is, or,
// when that directory cannot be written (an installed program in /usr/bin), the window
// tool's per-user data directory, so both programs read the same settings file.
QString programDir(const QString& arg0)
{
    QFileInfo info(arg0);
    if (!arg0.contains(QLatin1Char('/')))
        info = QFileInfo(QCoreApplication::applicationFilePath());
    if (!QFileInfo(info.absolutePath()).isWritable())
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
               QStringLiteral("/qel2_serv/");
    return info.absolutePath() + QLatin1Char('/');
}

class DeviceLink
{
public:
    explicit DeviceLink(const Options& o) : o_(o) { InitLinkContext(ctx); }

    // Opens the serial port or the Ethernet link and checks that a version-39 device answers;
    // over Ethernet its configuration is then in ctx.deviceRecord.
    int open()
    {
        if (o_.ip) {
            Program().ethTimeout = o_.tw;
            ctx.devicePort = quint16(o_.devicePort);
            ctx.localPort = quint16(o_.replyPort);
            ctx.attemptCount = quint8(o_.attempts);
            if (ConnectEthernet(ctx, *o_.ip))
                return ExitOk;
            err() << "error: no link to " << AddressText(*o_.ip) << Qt::endl;
            return ExitLink;
        }
        ComOpenError why;
        ctx.port =
            OpenComPort(o_.com, 9600, 8, ComParityNone, ComOneStop, 1000, 1000, true, false, &why);
        if (!ctx.port) {
            err() << "error: COM" << o_.com << " cannot be opened: " << why.text() << Qt::endl;
            return ExitLink;
        }
        SetComTimeouts(ctx.port.get(), kComReadIntervalImmediate, 0, 0);
        QThread::msleep(300); // the adapter settles after DTR comes up
        ctx.baudRate = 9600;
        ctx.replyTimeout = o_.wait * 1000;
        ctx.interByteTimeout = o_.gap;
        ctx.attemptCount = quint8(o_.attempts);
        if (!ExecCommand(ctx, 0x01, nullptr, 0))
            return failed();
        const int version = ctx.receiveBuffer[0];
        if (version != kSupportedVersion) {
            err() << "error: the device has firmware version " << version << "; only version "
                  << kSupportedVersion << " is served" << Qt::endl;
            return ExitLink;
        }
        return ExitOk;
    }

    // The failure of the last command sent, on stderr: a single command, or a read, which
    // stops at its first failure.
    int failed() { return failed(ctx.lastCommand, ResultText(ctx)); }
    // The first failure of a write, which may have gone on to send more commands.
    int failed(const CommandFailure& first) { return failed(first.code, first.text); }

    LinkContext ctx;

private:
    static int failed(quint8 code, const QString& reason)
    {
        err() << "error: command 0x" << QString::number(code, 16).toUpper() << " failed: " << reason
              << Qt::endl;
        return ExitLink;
    }

    const Options& o_;
};

// Reads a .cnf file into cfg; ExitUsage when it cannot be read.
int readFile(const QString& path, DeviceConfig& cfg)
{
    QString error;
    if (!ReadCnfFile(path, cfg, &error))
        return usage(QStringLiteral("%1 is not a readable file: %2")
                         .arg(path, error.section(QLatin1Char('\n'), 1)));
    return ExitOk;
}

// Reads the one file argument of a command into cfg; ExitUsage when there is none to read.
int readFileArgument(const Options& o, DeviceConfig& cfg)
{
    if (o.positional.size() != 1)
        return usage(QStringLiteral("%1 takes one file name").arg(o.command));
    return readFile(o.positional[0], cfg);
}

// Reads the configuration of the device the options name (over Ethernet the connection reads
// it, over serial the three groups are read after it).
int readDevice(const Options& o, DeviceConfig& cfg)
{
    DeviceLink link(o);
    if (const int rc = link.open())
        return rc;
    cfg = link.ctx.deviceRecord;
    if (!o.ip && !ReadDeviceConfig(link.ctx, cfg))
        return link.failed();
    return ExitOk;
}

int cmdShow(const Options& o)
{
    DeviceConfig cfg;
    if (const int rc = readFileArgument(o, cfg))
        return rc;
    printConfig(cfg);
    return ExitOk;
}

int cmdRead(const Options& o)
{
    if (!o.positional.isEmpty())
        return usage(QStringLiteral("read takes no file name; use -o FILE.cnf"));
    DeviceConfig cfg;
    if (const int rc = readDevice(o, cfg))
        return rc;
    if (o.outFile.isEmpty()) {
        printConfig(cfg);
        return ExitOk;
    }
    QString error;
    if (!WriteCnfFile(cfg, o.outFile, &error)) {
        err() << "error: " << error << Qt::endl;
        return ExitUsage;
    }
    err() << "saved in " << o.outFile << Qt::endl;
    return ExitOk;
}

// What a write's verification found: ExitOk when every field compared matched; otherwise each
// field the device did not keep on stdout, or that it could not be read back, and ExitLink.
int reportCheck(const WriteCheck& check)
{
    if (!check.readBack) {
        err() << "error: the write could not be verified: the device could not be read back"
              << Qt::endl;
        return ExitLink;
    }
    if (check.differences.isEmpty())
        return ExitOk;
    for (const FieldDifference& d : check.differences)
        out() << d.key << ": written " << d.first << ", read " << d.second << "\n";
    out().flush();
    err() << "error: the device acknowledged the write but did not keep "
          << check.differences.size() << (check.differences.size() == 1 ? " field" : " fields")
          << Qt::endl;
    return ExitLink;
}

int cmdWrite(const Options& o)
{
    DeviceConfig cfg;
    if (const int rc = readFileArgument(o, cfg))
        return rc;
    if (cfg.box_vers != kSupportedVersion) {
        err() << "qel2_cli: " << o.positional[0]
              << " is not a configuration file of a QEL_2 device of "
              << "version " << kSupportedVersion << " (box_vers " << cfg.box_vers << ")"
              << Qt::endl;
        return ExitUsage;
    }
    DeviceLink link(o);
    if (const int rc = link.open())
        return rc;
    if (o.ip) {
        bool answered = false;
        const bool readBack = WriteConfigEth(link.ctx, cfg, &answered);
        if (!answered) {
            err() << "error: the device did not answer the write" << Qt::endl;
            return ExitLink;
        }
        if (!readBack) {
            if (o.verify)
                return reportCheck(WriteCheck());
            err() << "error: the configuration could not be read back" << Qt::endl;
            return ExitLink;
        }
        if (cfg.net.ip_adr != *o.ip)
            err() << "note: the device moved to " << AddressText(cfg.net.ip_adr) << Qt::endl;
        // The write has read the device back (at its new address after a move).
        if (o.verify) {
            if (const int rc =
                    reportCheck(CompareWritten(cfg, link.ctx.deviceRecord, FieldScope::All)))
                return rc;
        }
        out() << "written" << Qt::endl;
        return ExitOk;
    }
    CommandFailure first;
    if (!WriteDeviceConfig(link.ctx, cfg, &first))
        return link.failed(first);
    if (cfg.net.ip_prz == 255)
        err() << "note: the file chooses no address assignment (ip_prz 255); the device "
                 "keeps its own"
              << Qt::endl;
    if (o.verify) {
        const WriteCheck check = ReadBackDeviceConfig(link.ctx, cfg);
        if (!check.readBack)
            link.failed(); // the read that failed, and why
        if (const int rc = reportCheck(check))
            return rc;
    }
    out() << "written" << Qt::endl;
    return ExitOk;
}

int cmdDiff(const Options& o)
{
    if (o.sources.size() != 2)
        return usage(QStringLiteral("diff takes two of FILE.cnf, --com N and --ip A.B.C.D"));
    std::array<DeviceConfig, 2> cfg;
    bool serial = false;
    for (int i = 0; i < 2; ++i) {
        const Source& s = o.sources[i];
        Options side = o;
        side.com = s.com;
        side.ip = s.ip;
        serial = serial || s.com != 0;
        if (const int rc = s.file.isEmpty() ? readDevice(side, cfg[size_t(i)])
                                            : readFile(s.file, cfg[size_t(i)]))
            return rc;
    }
    const QList<FieldDifference> differences =
        CompareConfigs(cfg[0], cfg[1], FieldScope::All, serial ? SerialLinkReads : FieldFilter());
    for (const FieldDifference& d : differences)
        out() << d.key << ": " << d.first << " | " << d.second << "\n";
    out().flush();
    return differences.isEmpty() ? ExitOk : ExitDiffer;
}

int cmdQuery(const Options& o)
{
    const QStringList what = {QStringLiteral("mac"), QStringLiteral("tcp1"),
                              QStringLiteral("tcp2")};
    if (o.positional.size() != 1 || !what.contains(o.positional[0]))
        return usage(QStringLiteral("query takes one of mac, tcp1, tcp2"));
    if (o.ip && o.positional[0] != what[0])
        return usage(QStringLiteral("over Ethernet only the mac can be queried"));
    DeviceLink link(o);
    if (const int rc = link.open())
        return rc;
    if (o.ip) {
        out() << MacText(link.ctx.deviceMac) << Qt::endl;
        return ExitOk;
    }
    const int which = int(what.indexOf(o.positional[0]));
    const quint8 codes[] = {0x81, 0x03, 0x04};
    if (!ExecCommand(link.ctx, codes[which], nullptr, 0))
        return link.failed();
    const auto& r = link.ctx.receiveBuffer;
    if (which == 0) {
        std::array<quint8, 6> mac{};
        std::copy_n(r.begin(), mac.size(), mac.begin());
        out() << MacText(mac) << Qt::endl;
    } else {
        out() << r[0] << (r[0] == 1 ? " (connected)" : " (not connected)") << Qt::endl;
    }
    return ExitOk;
}

// Text from a device for a terminal: control characters shown as \xNN, so that a name can
// neither move the cursor nor end its line.
QString terminalSafe(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

int cmdDiscover(const Options& o)
{
    if (!o.positional.isEmpty())
        return usage(QStringLiteral("discover takes no arguments besides its options"));
    SearchOptions options;
    options.interfaces = o.interfaces;
    if (options.interfaces.isEmpty()) {
        ConnSettingsState settings;
        ReadConnSettings(settings, Program().settingsPath);
        options.interfaces = settings.cur.SearchInterfaces;
    }
    options.windowMs = o.windowMs;
    options.devicePort = quint16(o.devicePort);
    options.replyPort = quint16(o.replyPort);
    DeviceSearch search;
    QEventLoop loop;
    QObject::connect(&search, &DeviceSearch::finished, &loop, &QEventLoop::quit);
    if (search.start(options))
        loop.exec();
    // By address, then MAC: the same devices give the same output whatever order they
    // answered in.
    std::vector<FoundDevice> devices = search.devices();
    std::sort(devices.begin(), devices.end(), [](const FoundDevice& a, const FoundDevice& b) {
        const quint32 x = a.address.toIPv4Address();
        const quint32 y = b.address.toIPv4Address();
        return x != y ? x < y : a.mac < b.mac;
    });
    for (const FoundDevice& d : devices) {
        const QString version =
            d.version < 0 ? QStringLiteral("v?") : QStringLiteral("v%1").arg(d.version);
        out() << MacText(d.mac) << "  " << d.address.toString() << "  " << version
              << (d.supported() ? "" : " (not served)") << "  " << d.interfaceName << "  "
              << (d.haveConfig ? terminalSafe(d.name()) : QStringLiteral("(no configuration)"))
              << "\n";
    }
    out().flush();
    const bool none = search.devices().empty();
    if (none || o.verbose) {
        for (const QString& line : search.explanation())
            err() << line << "\n";
        err().flush();
    }
    return none ? ExitLink : ExitOk;
}

int RunCli(const QStringList& args)
{
    if (args.size() < 2 || args.contains(QStringLiteral("--help")) ||
        args.contains(QStringLiteral("-h"))) {
        out() << kHelp;
        out().flush();
        return args.size() < 2 ? ExitUsage : ExitOk;
    }
    Options o;
    QString problem;
    if (!parse(args, o, &problem))
        return usage(problem);
    Program().programDir = programDir(args[0]);
    Program().settingsPath =
        o.ini.isEmpty() ? Program().programDir + QStringLiteral("INI/qel_conn.ini") : o.ini;
    Program().counterFrequency = CounterFrequency();
    CliOperator op;
    const struct Installed {
        explicit Installed(Operator* o) { InstallOperator(o); }
        ~Installed() { InstallOperator(nullptr); }
    } installed(&op);
    if (o.command == QLatin1String("show"))
        return cmdShow(o);
    if (o.command == QLatin1String("discover"))
        return cmdDiscover(o);
    if (o.command == QLatin1String("diff"))
        return cmdDiff(o);
    const bool device = o.command == QLatin1String("read") || o.command == QLatin1String("write") ||
                        o.command == QLatin1String("query");
    if (!device)
        return usage(QStringLiteral("unknown command '%1'").arg(o.command));
    if ((o.com == 0) == !o.ip)
        return usage(QStringLiteral("%1 needs either --com N or --ip A.B.C.D").arg(o.command));
    if (o.command == QLatin1String("read"))
        return cmdRead(o);
    if (o.command == QLatin1String("write"))
        return cmdWrite(o);
    return cmdQuery(o);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return RunCli(app.arguments());
}
