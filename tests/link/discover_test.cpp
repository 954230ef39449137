// Finding devices: where the search sends on which interfaces, and what it makes of the
// replies of simulated devices on loopback addresses (several devices, repeated replies,
// another version, malformed replies, an address that is gone, a search stopped early).

#include "link/discover.h"

#include "config/cp1251.h"
#include "sim/datagrams.h"
#include "support/qt_printers.h"
#include "support/sim_fleet.h"

#include <QEventLoop>
#include <QTimer>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>

namespace
{

QHostAddress ip(const char* text)
{
    return QHostAddress(QString::fromLatin1(text));
}

InterfaceInfo iface(const char* name, bool up, bool loopback, bool canBroadcast,
                    QList<InterfaceAddress> addresses)
{
    return {QString::fromLatin1(name), up, loopback, canBroadcast, std::move(addresses)};
}

// A machine with a loopback interface, a network card, one that is down, a tunnel that can't
// broadcast and a card without an IPv4 address.
QList<InterfaceInfo> machine()
{
    return {
        iface("lo", true, true, false, {{ip("127.0.0.1"), ip("255.0.0.0"), QHostAddress()}}),
        iface("eth0", true, false, true,
              {{ip("192.168.1.5"), ip("255.255.255.0"), ip("192.168.1.255")}}),
        iface("wlan0", false, false, true,
              {{ip("10.0.0.7"), ip("255.255.255.0"), ip("10.0.0.255")}}),
        iface("tun0", true, false, false, {{ip("10.8.0.2"), ip("255.255.255.255"), {}}}),
        iface("eth1", true, false, true, {}),
    };
}

QStringList describe(const QList<SearchTarget>& targets)
{
    QStringList out;
    for (const SearchTarget& t : targets)
        out << QStringLiteral("%1 %2>%3%4")
                   .arg(t.interfaceName, t.source.toString(), t.target.toString(),
                        t.bindToInterface ? QStringLiteral(" bound") : QString());
    return out;
}

TEST(PlanSearch, ChosenInterfacesAndWhereEachSends)
{
    struct Case {
        const char* name;
        QStringList chosen;
        QStringList targets;
        QStringList skipped;
    };
    const Case cases[] = {
        {"EveryInterface",
         {},
         {"lo 127.0.0.1>127.255.255.255", "eth0 192.168.1.5>192.168.1.255",
          "eth0 192.168.1.5>255.255.255.255 bound"},
         {"wlan0: не працює", "tun0: не підтримує широкомовних запитів",
          "eth1: немає адреси IPv4"}},
        // The loopback interface never gets the limited broadcast: the system would send it
        // out of the default network card.
        {"LoopbackOnly", {"lo"}, {"lo 127.0.0.1>127.255.255.255"}, {}},
        {"UnknownName",
         {"lo", "eth9"},
         {"lo 127.0.0.1>127.255.255.255"},
         {"eth9: такого інтерфейсу немає"}},
        {"OnlyADownInterface", {"wlan0"}, {}, {"wlan0: не працює"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList skipped;
        EXPECT_EQ(describe(PlanSearch(machine(), c.chosen, &skipped)), c.targets);
        EXPECT_EQ(skipped, c.skipped);
    }
}

// A card whose system gives no broadcast address gets the one of its subnet.
TEST(PlanSearch, ABroadcastAddressMissingIsWorkedOut)
{
    const QList<InterfaceInfo> one = {
        iface("eth0", true, false, true, {{ip("172.16.4.9"), ip("255.255.252.0"), {}}})};
    EXPECT_EQ(
        describe(PlanSearch(one, {})),
        QStringList({"eth0 172.16.4.9>172.16.7.255", "eth0 172.16.4.9>255.255.255.255 bound"}));
}

// Simulated devices on 127.0.0.2, 127.0.0.3, ... (see SimFleet) and one search.
class DiscoverTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(sims.ok()); }

    void addDevices(int count)
    {
        QString error;
        ASSERT_TRUE(sims.add(count, &error)) << error.toStdString();
    }
    SearchOptions unicastToEach() const { return sims.unicastToEach(); }
    SearchOptions base() const { return sims.options(); }

    // Runs a search to its end, or until stopWhen, when given, is true after a device changed.
    void run(const SearchOptions& o, std::function<bool(const DeviceSearch&)> stopWhen = {})
    {
        QEventLoop loop;
        QObject::connect(&search, &DeviceSearch::finished, &loop, &QEventLoop::quit);
        if (stopWhen) {
            QObject::connect(&search, &DeviceSearch::deviceChanged, &search, [&] {
                if (stopWhen(search))
                    search.stop();
            });
        }
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
        guard.start(30000);
        if (search.start(o))
            loop.exec();
        ASSERT_FALSE(search.running()) << "the search did not end";
    }

    // True once count devices are listed with their configuration.
    static std::function<bool(const DeviceSearch&)> allComplete(size_t count)
    {
        return [count](const DeviceSearch& s) {
            return s.devices().size() == count &&
                   std::all_of(s.devices().begin(), s.devices().end(),
                               [](const FoundDevice& d) { return d.haveConfig; });
        };
    }

    // The devices found, a line each, ordered by MAC.
    QStringList found() const
    {
        QStringList out;
        for (const FoundDevice& d : search.devices())
            out << QStringLiteral("%1 %2 v%3 %4 %5")
                       .arg(MacText(d.mac), d.address.toString())
                       .arg(d.version)
                       .arg(d.interfaceName, d.name());
        out.sort();
        return out;
    }

    SimFleet sims;
    DeviceSearch search;
};

TEST_F(DiscoverTest, EveryDeviceIsListedOnceWithItsNameVersionAndMac)
{
    addDevices(3);
    sims[1].setVersion(40);
    SimUdpFaults twice;
    twice.duplicate = true;
    sims[2].setFaults(twice);

    run(unicastToEach());
    EXPECT_EQ(found(), QStringList({
                           "00:1A:2B:3C:4D:50 127.0.0.2 v39 lo Щит 1",
                           "00:1A:2B:3C:4D:51 127.0.0.3 v40 lo Щит 2",
                           "00:1A:2B:3C:4D:52 127.0.0.4 v39 lo Щит 3",
                       }));
    for (const FoundDevice& d : search.devices())
        EXPECT_EQ(d.supported(), d.version == 39);
    EXPECT_GE(search.report().duplicates, 3) << "the repeated replies were counted";
    EXPECT_TRUE(search.report().ignored.isEmpty());
}

// The search as it runs for the operator: broadcasts on the loopback interface, to
// 127.255.255.255 only, reach every device, and each answers from its own address.
TEST_F(DiscoverTest, ABroadcastOnTheLoopbackInterfaceFindsEveryDevice)
{
    addDevices(3);
    SearchOptions o = base();
    o.interfaces = {QStringLiteral("lo")};
    o.windowMs = 30000; // ended once every device is complete
    run(o, allComplete(3));
    ASSERT_FALSE(search.report().targets.isEmpty());
    for (const SearchTarget& t : search.report().targets)
        EXPECT_EQ(t.target, ip("127.255.255.255"));
    EXPECT_EQ(found(), QStringList({
                           "00:1A:2B:3C:4D:50 127.0.0.2 v39 lo Щит 1",
                           "00:1A:2B:3C:4D:51 127.0.0.3 v39 lo Щит 2",
                           "00:1A:2B:3C:4D:52 127.0.0.4 v39 lo Щит 3",
                       }));
    // Each device answered both connection commands and the one read addressed to its MAC.
    for (int i = 0; i < sims.size(); ++i) {
        QList<SimRequest> answered;
        for (const SimDatagram& d : sims[i].requests()) {
            if (d.answered)
                answered << d.request;
        }
        std::sort(answered.begin(), answered.end());
        EXPECT_EQ(answered, QList<SimRequest>({SimRequest::FirstConnect, SimRequest::SecondConnect,
                                               SimRequest::ReadConfig}))
            << i;
    }
}

// Fifty devices answering at once: every one listed, none twice.
TEST_F(DiscoverTest, FiftyDevicesAnsweringAtOnce)
{
    addDevices(50);
    SearchOptions o = base();
    o.interfaces = {QStringLiteral("lo")};
    o.windowMs = 30000; // ended once every device is complete
    run(o, allComplete(50));
    std::set<QString> macs;
    int complete = 0;
    for (const FoundDevice& d : search.devices()) {
        macs.insert(MacText(d.mac));
        complete += d.haveConfig ? 1 : 0;
    }
    EXPECT_EQ(search.devices().size(), 50u);
    EXPECT_EQ(macs.size(), 50u);
    EXPECT_EQ(complete, 50);
    EXPECT_TRUE(search.report().ignored.isEmpty());
}

// Replies of the wrong size or with a signature nobody sent are counted and ignored; they
// never become devices.
TEST_F(DiscoverTest, MalformedRepliesAreIgnoredAndCounted)
{
    addDevices(2);
    SimUdpFaults shortReply;
    shortReply.replySize = 284;
    sims[0].setFaults(shortReply);

    QUdpSocket junk;
    ASSERT_TRUE(junk.bind(ip("127.0.0.1"), 0));
    QTimer::singleShot(50, &junk, [&] {
        junk.writeDatagram(QByteArray(285, char(0x33)), ip("127.0.0.1"), sims.replyPort);
        junk.writeDatagram(QByteArray(3, char(0x01)), ip("127.0.0.1"), sims.replyPort);
    });
    run(unicastToEach());
    EXPECT_EQ(found(), QStringList({"00:1A:2B:3C:4D:51 127.0.0.3 v39 lo Щит 2"}));

    QStringList reasons;
    for (const IgnoredReply& r : search.report().ignored)
        reasons << QStringLiteral("%1 %2: %3").arg(r.from.toString()).arg(r.size).arg(r.reason);
    reasons.sort();
    EXPECT_EQ(reasons, QStringList({
                           "127.0.0.1 285: невідома сигнатура",
                           "127.0.0.1 3: неправильна довжина: 3 байт замість 285",
                           "127.0.0.2 284: неправильна довжина: 284 байт замість 285",
                           "127.0.0.2 284: неправильна довжина: 284 байт замість 285",
                       }));
    const QStringList why = search.explanation();
    EXPECT_TRUE(why.contains(QStringLiteral("Знайдено пристроїв: 1")))
        << why.join('\n').toStdString();
}

// An address that cannot be sent from (its interface went away) is reported; the search
// goes on through the others.
TEST_F(DiscoverTest, AnAddressThatIsGoneLeavesTheOthersSearching)
{
    addDevices(1);
    SearchOptions o = unicastToEach();
    // 192.0.2.1 (documentation range) is no address of this machine: binding to it fails,
    // so nothing is ever sent from it.
    o.targets.prepend(
        {QStringLiteral("gone0"), ip("192.0.2.1"), ip("255.255.255.0"), ip("192.0.2.255"), false});
    run(o);
    EXPECT_EQ(found(), QStringList({"00:1A:2B:3C:4D:50 127.0.0.2 v39 lo Щит 1"}));
    ASSERT_EQ(search.report().sendFailures.size(), 1);
    EXPECT_TRUE(search.report().sendFailures[0].startsWith("gone0, адреса 192.0.2.1"))
        << search.report().sendFailures[0].toStdString();
}

TEST_F(DiscoverTest, NothingFoundSaysWhatWasTried)
{
    SearchOptions o = base();
    o.targets.append(
        {QStringLiteral("lo"), ip("127.0.0.1"), ip("255.0.0.0"), ip("127.0.0.9"), false});
    run(o);
    EXPECT_TRUE(search.devices().empty());
    const QStringList why = search.explanation();
    const QString text = why.join('\n');
    EXPECT_TRUE(why.contains(
        QStringLiteral("Запити через lo з 127.0.0.1 на 127.0.0.9:%1").arg(sims.devicePort)))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Надіслано запитів: 2"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Отримано відповідей: 0"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("брандмауер"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("UDP-порт %1").arg(sims.replyPort)))
        << text.toStdString();
}

TEST_F(DiscoverTest, AReplyPortInUseEndsTheSearchAtOnceAndSaysSo)
{
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, sims.replyPort));
    addDevices(1);
    bool finished = false;
    QObject::connect(&search, &DeviceSearch::finished, [&] { finished = true; });
    EXPECT_FALSE(search.start(unicastToEach()));
    EXPECT_TRUE(finished);
    EXPECT_FALSE(search.running());
    EXPECT_TRUE(
        search.report().bindError.startsWith(QStringLiteral("UDP-порт %1: ").arg(sims.replyPort)))
        << search.report().bindError.toStdString();
    EXPECT_EQ(search.report().requestsSent, 0);
    EXPECT_EQ(sims[0].requestCount(), 0);
}

// Stopped as soon as the first device is complete: the search ends at once, well before its
// window, and keeps what it found.
TEST_F(DiscoverTest, AStoppedSearchEndsAndKeepsWhatItFound)
{
    addDevices(1);
    SearchOptions o = unicastToEach();
    o.windowMs = 60000;
    run(o, [](const DeviceSearch& s) {
        return !s.devices().empty() && s.devices().front().haveConfig;
    });
    EXPECT_EQ(found(), QStringList({"00:1A:2B:3C:4D:50 127.0.0.2 v39 lo Щит 1"}));
    EXPECT_LT(search.elapsedMs(), o.windowMs);
}

} // namespace

// Replies fed one at a time, with no socket: what each sequence leaves in the device list
// and the report. The search is not running, so a new device is not asked for its
// configuration and a configuration reply is one nobody asked for.
TEST(DeviceSearchFeed, SequencesOfRepliesOfAnySize)
{
    SimDeviceState device;
    const auto answer = [&](const QByteArray& request) {
        return SimAnswerDatagram(device, request).reply;
    };
    const auto request = [](const QByteArray& signature, const QByteArray& rest) {
        QByteArray d = signature + rest;
        return d + QByteArray(kSimDatagramSize - d.size(), '\0');
    };
    const QByteArray first = answer(request(kSimCfgSignature, "\x04"));
    const QByteArray second = answer(request(kSimModuleSignature, "\x04"));
    const QByteArray config =
        answer(request(kSimCfgSignature, QByteArray("\x02\x00\x1A\x2B\x3C\x4D\x5E", 7)));
    ASSERT_EQ(first.size(), kDatagramSize);
    ASSERT_EQ(second.size(), kDatagramSize);
    ASSERT_EQ(config.size(), kDatagramSize);

    struct Case {
        const char* what;
        QList<QByteArray> replies;
        int devices;
        int version; // of the first device
        int duplicates;
        int ignored;
    };
    const Case cases[] = {
        {"first, then second", {first, second}, 1, 39, 0, 0},
        {"second, then first", {second, first}, 1, 39, 0, 0},
        {"each twice", {first, first, second, second}, 1, 39, 2, 0},
        {"configuration not asked for", {second, config}, 1, -1, 0, 1},
        {"empty, short, long", {{}, first.left(17), second + QByteArray(600, 'x')}, 0, 0, 0, 3},
        {"one byte short", {second.left(kDatagramSize - 1)}, 0, 0, 0, 1},
        {"unknown signature", {QByteArray(kDatagramSize, char(0x33))}, 0, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeviceSearch search;
        for (const QByteArray& r : c.replies)
            search.feedReply(r, QHostAddress(QStringLiteral("127.0.0.2")));
        EXPECT_EQ(search.report().repliesReceived, c.replies.size());
        ASSERT_EQ(int(search.devices().size()), c.devices);
        if (c.devices > 0) {
            EXPECT_EQ(search.devices()[0].version, c.version);
            EXPECT_EQ(search.devices()[0].mac, device.mac);
            EXPECT_FALSE(search.devices()[0].haveConfig);
        }
        EXPECT_EQ(search.report().duplicates, c.duplicates);
        EXPECT_EQ(int(search.report().ignored.size()), c.ignored);
    }
}
