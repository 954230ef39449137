// qel2_sim run as a process: the lines it prints, its devices over UDP, its usage errors.

#ifdef QEL2_SIM_PATH

#include "sim/bytes.h"
#include "sim/system.h"
#include "udp_side.h"

#include <QProcess>
#include <QStringList>

#include <cstring>
#include <set>

namespace
{

const std::array<quint8, 6> kDefaultMac{{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}};

// qel2_sim running for one test, answering the test's client; stopped with SIGTERM at the end.
class SimProcess : public ::testing::Test
{
protected:
    void TearDown() override { stop(); }

    // Starts qel2_sim with args, the system's choice of device port and the client's reply
    // port, and reads the lines it prints until there are count of them.
    void start(QStringList args, int count)
    {
        ASSERT_TRUE(client.isOpen());
        args << QStringLiteral("--device-port") << QStringLiteral("0")
             << QStringLiteral("--reply-port") << QString::number(client.port());
        process.start(QStringLiteral(QEL2_SIM_PATH), args);
        ASSERT_TRUE(process.waitForStarted(kDeadlineMs));
        const qint64 until = SimNowNs() + qint64(kDeadlineMs) * 1'000'000;
        while (lines.size() < count && process.state() == QProcess::Running) {
            while (process.canReadLine() && lines.size() < count)
                lines << QString::fromUtf8(process.readLine()).trimmed();
            const qint64 left = (until - SimNowNs()) / 1'000'000;
            if (lines.size() < count && (left <= 0 || !process.waitForReadyRead(int(left))))
                break;
        }
        while (process.canReadLine() && lines.size() < count)
            lines << QString::fromUtf8(process.readLine()).trimmed();
        ASSERT_EQ(lines.size(), count) << qPrintable(process.readAllStandardError());
        const QStringList last = lines.last().split(QLatin1Char(':'));
        ASSERT_EQ(last.size(), 2) << qPrintable(lines.last());
        port = quint16(last[1].toUInt());
        ASSERT_NE(port, 0);
    }

    // Ends the program; its exit code.
    int stop()
    {
        if (process.state() == QProcess::NotRunning)
            return process.exitCode();
        process.terminate();
        if (!process.waitForFinished(kDeadlineMs)) {
            process.kill();
            process.waitForFinished(kDeadlineMs);
            return -1;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }

    QString line(const IpAddress& ip) const
    {
        return AddressText(ip) + QStringLiteral(":%1").arg(port);
    }

    // One request to ip, and its answer, which must come from there.
    QByteArray ask(const IpAddress& ip, const QByteArray& request) const
    {
        client.send(ip, port, request);
        const std::optional<Received> r = client.receive();
        if (!r)
            return {};
        EXPECT_EQ(r->from, ip);
        return r->bytes;
    }

    // What the device at ip reports: its version, MAC, name and address.
    struct Seen {
        int version = -1;
        std::array<quint8, 6> mac{};
        QByteArray name;
        IpAddress ip{};
    };
    Seen see(const IpAddress& ip) const
    {
        Seen seen;
        const QByteArray first = ask(ip, FirstConnect());
        const int end = first.indexOf('\0', 34);
        if (end > 0 && end + 1 < first.size())
            seen.version = quint8(first[end + 1]);
        const QByteArray second = ask(ip, SecondConnect());
        if (second.size() < 23)
            return seen;
        std::memcpy(seen.mac.data(), second.constData() + 17, 6);
        const QByteArray block = ask(ip, ReadConfig(seen.mac));
        if (block.size() < kSimDatagramSize)
            return seen;
        seen.name = block.mid(35, 20);
        seen.name.truncate(seen.name.indexOf('\0') < 0 ? 20 : seen.name.indexOf('\0'));
        std::memcpy(seen.ip.data(), block.constData() + 62, 4);
        return seen;
    }

    UdpClient client;
    QProcess process;
    QStringList lines;
    quint16 port = 0;
};

std::array<quint8, 6> macEndingIn(int last)
{
    std::array<quint8, 6> mac = kDefaultMac;
    mac[5] = quint8(last);
    return mac;
}

TEST_F(SimProcess, OneDeviceOnBothSidesPrintsThePseudoTerminalThenTheAddress)
{
    start({QStringLiteral("--serial"), QStringLiteral("--udp")}, 2);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("/dev/"))) << qPrintable(lines[0]);
    EXPECT_EQ(lines[1], line({{127, 0, 0, 2}}));
    EXPECT_EQ(stop(), 0);
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty()) << "more lines";
}

TEST_F(SimProcess, ThreeDevicesEachWithItsOwnData)
{
    const IpAddress a{{127, 0, 0, 2}}, b{{127, 0, 0, 4}}, c{{127, 0, 0, 5}};
    start(QStringLiteral("--name Stand --udp 127.0.0.2 --udp 127.0.0.4 --mac 02:00:00:00:00:44 "
                         "--udp 127.0.0.5 --name Boiler --version 41")
              .split(QLatin1Char(' ')),
          3);
    EXPECT_EQ(lines, (QStringList{line(a), line(b), line(c)}));

    struct Want {
        IpAddress ip;
        int version;
        std::array<quint8, 6> mac;
        QByteArray name;
    };
    for (const Want& w : {Want{a, 39, kDefaultMac, "Stand"},
                          Want{b, 39, {{0x02, 0x00, 0x00, 0x00, 0x00, 0x44}}, "Stand 2"},
                          Want{c, 41, macEndingIn(0x5E + 2), "Boiler"}}) {
        SCOPED_TRACE(qPrintable(AddressText(w.ip)));
        const Seen seen = see(w.ip);
        EXPECT_EQ(seen.version, w.version);
        EXPECT_EQ(seen.mac, w.mac);
        EXPECT_EQ(seen.name, w.name);
        EXPECT_EQ(seen.ip, w.ip);
    }

    client.send(kSimLoopbackBroadcast, port, FirstConnect());
    std::set<IpAddress> from;
    for (const Received& r : client.receiveMany(3)) {
        EXPECT_TRUE(IsFirstConnectReply(r.bytes, r.from == c ? 41 : 39));
        from.insert(r.from);
    }
    EXPECT_EQ(from, (std::set<IpAddress>{a, b, c}));
    EXPECT_EQ(stop(), 0);
}

TEST_F(SimProcess, FiftyDevices)
{
    QStringList args{QStringLiteral("--name"), QStringLiteral("Name of twenty bytes")};
    for (int i = 0; i < 50; ++i)
        args << QStringLiteral("--udp") << QStringLiteral("127.0.0.%1").arg(2 + i);
    start(args, 50);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(lines[i], line({{127, 0, 0, quint8(2 + i)}}));

    client.send(kSimLoopbackBroadcast, port, SecondConnect());
    std::set<IpAddress> from;
    for (const Received& r : client.receiveMany(50)) {
        const int index = r.from[3] - 2;
        EXPECT_EQ(r.bytes.mid(17, 6), SimBytes(macEndingIn(0x5E + index))) << index;
        from.insert(r.from);
    }
    EXPECT_EQ(from.size(), 50u);

    // The name of the twelfth, cut to keep its number within 20 bytes.
    EXPECT_EQ(see({{127, 0, 0, 13}}).name, QByteArray("Name of twenty by 12"));
    EXPECT_EQ(stop(), 0);
}

TEST_F(SimProcess, ADroppedFieldIsThatDevicesOnly)
{
    const IpAddress a{{127, 0, 0, 2}}, b{{127, 0, 0, 3}};
    start(QStringLiteral("--udp --udp --drop-field box_name").split(QLatin1Char(' ')), 2);
    for (const IpAddress& ip : {a, b}) {
        const Seen seen = see(ip);
        QByteArray block = ask(ip, ReadConfig(seen.mac));
        ASSERT_EQ(block.size(), kSimDatagramSize);
        block.replace(35, 20, QByteArray("Renamed").leftJustified(20, '\0'));
        EXPECT_EQ(ask(ip, WriteConfig(block)).size(), kSimDatagramSize); // acknowledged
    }
    EXPECT_EQ(see(a).name, QByteArray("Renamed"));
    EXPECT_EQ(see(b).name, QByteArray("2"));
}

TEST(SimProcessUsage, RefusedCommandLines)
{
    struct Case {
        const char* args;
        const char* named; // what the error names
    };
    for (const Case& c :
         {Case{"--udp 127.0.0.2 --udp 127.0.0.2", "two devices on one address"},
          Case{"--udp 127.0.0.3 --udp 127.0.0.2 --udp", "127.0.0.3"},
          Case{"--udp 127.255.255.255", "127.255.255.255"}, Case{"--udp 10.0.0.2", "10.0.0.2"},
          Case{"--udp 127.255.255.254 --udp", "127.255.255.255"},
          Case{"--udp --drop-field port3.rate", "port3.rate"}}) {
        SCOPED_TRACE(c.args);
        QProcess p;
        p.start(QStringLiteral(QEL2_SIM_PATH), QString::fromLatin1(c.args).split(QLatin1Char(' ')));
        ASSERT_TRUE(p.waitForFinished(kDeadlineMs));
        EXPECT_EQ(p.exitCode(), 2);
        EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
        EXPECT_TRUE(p.readAllStandardError().contains(c.named));
    }
}

} // namespace

#endif
