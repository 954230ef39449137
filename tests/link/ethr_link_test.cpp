// The Ethernet link against the simulated device on a loopback address: the connection, the
// exchange's attempts and results, stale and duplicated replies, and writes that follow the
// device to a new address.

#include "link/ethr_conffun.h"

#include "config/program.h"
#include "support/qt_printers.h"
#include "support/scripted_operator.h"
#include "support/sim_udp.h"

#include <QElapsedTimer>
#include <QThread>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <functional>

namespace
{

const QString kNoReply = QStringLiteral("Ithernet. Перевищено час отримання відповіді на запит");
const QString kWrongLength = QStringLiteral("Ithernet. Неправильна довжина відповіді на запит");
const QString kFirstFailed = QStringLiteral("Не виконана перша команда з'єднання з пристроєм.");
const std::array<quint8, 6> kMac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

class EthernetLink : public SimUdpTest
{
protected:
    void SetUp() override
    {
        SimUdpTest::SetUp();
        if (HasFatalFailure())
            return;
        SimDeviceState state = sim.state();
        state.mac = kMac;
        state.name = "Stand 1";
        state.params.ip = {127, 0, 0, 2};
        state.params.ports[0].rate = 57600;
        state.params.ports[1].regim = 1;
        state.params.ports[1].remoteIp = {127, 0, 0, 1};
        state.params.ports[1].remotePort = 5000;
        state.saved = state.params;
        sim.setState(state);
        aim(ctx);
    }
    void TearDown() override
    {
        ReleaseLink(ctx);
        SimUdpTest::TearDown();
    }

    QList<SimRequest> requests() const
    {
        QList<SimRequest> out;
        for (const SimDatagram& d : sim.requests())
            out << d.request;
        return out;
    }
    void faults(const std::function<void(SimUdpFaults&)>& set)
    {
        SimUdpFaults f;
        set(f);
        sim.setFaults(f);
    }

    LinkContext ctx;
    ScriptedOperator op;
};

TEST_F(EthernetLink, ConnectChecksTheDeviceAndReadsItsConfiguration)
{
    ASSERT_TRUE(ConnectEthernet(ctx, kDeviceAddress));
    EXPECT_TRUE(op.asked.isEmpty());
    EXPECT_EQ(requests(), QList<SimRequest>({SimRequest::FirstConnect, SimRequest::SecondConnect,
                                             SimRequest::ReadConfig}));
    EXPECT_EQ(sim.requests()[2].bytes.mid(17, 6),
              QByteArray(reinterpret_cast<const char*>(kMac.data()), 6))
        << "the read names the device by its MAC";
    EXPECT_EQ(ctx.deviceMac, kMac);
    const DeviceConfig& r = ctx.deviceRecord;
    EXPECT_EQ(r.box_vers, kSupportedVersion);
    EXPECT_EQ(r.Mac_addres, kMac);
    EXPECT_EQ(BoxName(r), "Stand 1");
    EXPECT_EQ(r.net.ip_adr, IpAddress({127, 0, 0, 2}));
    EXPECT_EQ(quint32(r.ports[0].rate), 57600u);
    EXPECT_EQ(r.ports[1].regim, 1);
    EXPECT_EQ(r.ports[1].remote_ip_adr, IpAddress({127, 0, 0, 1}));
    EXPECT_EQ(quint16(r.ports[1].remote_port), 5000);
    EXPECT_NE(ctx.sendSocket, nullptr) << "the link stays open";
    EXPECT_EQ(ctx.replyTimeout, 50 * 1000) << "the Ethernet reply time-out, in microseconds";
}

// What the device does wrong, what the operator is told, and that the sockets are closed
// again: every failed connection ends with the link gone.
TEST_F(EthernetLink, AConnectionThatFailsIsToldAndClosed)
{
    struct Case {
        const char* name;
        std::function<void(SimUdpFaults&)> fault;
        quint8 version;
        int kind;
        QString line1, line2;
        int requestsSent;
    };
    const QString macText = QStringLiteral("00:1A:2B:3C:4D:5E");
    const Case cases[] = {
        {"Silent", [](SimUdpFaults& f) { f.silent = true; }, 39, MsgRetry, kFirstFailed, kNoReply,
         2},
        {"ShortReply", [](SimUdpFaults& f) { f.replySize = 284; }, 39, MsgRetry, kFirstFailed,
         kWrongLength, 2},
        {"LongReply", [](SimUdpFaults& f) { f.replySize = 286; }, 39, MsgRetry, kFirstFailed,
         kWrongLength, 2},
        {"AnotherVersion", [](SimUdpFaults&) {}, 40, MsgNotice,
         "Версія пристрою 40. MAC_адр. " + macText, "Програма обслуговує пристрої QEL_2 версією 39",
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim.setVersion(c.version);
        faults(c.fault);
        sim.clearLog();
        op.asked.clear();
        aim(ctx);
        EXPECT_FALSE(ConnectEthernet(ctx, kDeviceAddress));
        ASSERT_EQ(op.asked.size(), 1);
        EXPECT_EQ(op.asked[0].kind, c.kind);
        EXPECT_EQ(op.asked[0].line1, c.line1);
        EXPECT_EQ(op.asked[0].line2, c.line2);
        EXPECT_EQ(sim.requestCount(), c.requestsSent) << "two attempts, or both commands";
        EXPECT_EQ(ctx.sendSocket, nullptr);
        EXPECT_EQ(ctx.receiveSocket, nullptr);
    }
}

// "Так" to the retry question sends the command again with all its attempts.
TEST_F(EthernetLink, YesToTheRetryQuestionTriesAgain)
{
    faults([](SimUdpFaults& f) { f.silent = true; });
    op.answer({true, false});
    EXPECT_FALSE(ConnectEthernet(ctx, kDeviceAddress));
    EXPECT_EQ(op.asked.size(), 2);
    EXPECT_EQ(sim.requestCount(), 4);
}

// A reply that comes after its attempt has given up is dropped before the next request: with
// every reply late the connection fails rather than taking one for the next request's. With a
// wait long enough the same device connects.
TEST_F(EthernetLink, LateRepliesAreNotTakenForTheNextRequests)
{
    faults([](SimUdpFaults& f) { f.replyDelayMs = 80; }); // beyond the 50 ms wait
    EXPECT_FALSE(ConnectEthernet(ctx, kDeviceAddress));
    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].line2, kNoReply);
    EXPECT_EQ(requests(), QList<SimRequest>({SimRequest::FirstConnect, SimRequest::FirstConnect}))
        << "both attempts of the first command, and nothing after";

    // The late replies of the failed connection are all out before the next one begins.
    QElapsedTimer clock;
    clock.start();
    const auto allReplied = [&] {
        for (const SimDatagram& d : sim.requests()) {
            if (d.repliedNs == 0)
                return false;
        }
        return true;
    };
    while (!allReplied() && clock.elapsed() < 5000)
        QThread::msleep(5);
    ASSERT_TRUE(allReplied());

    op.asked.clear();
    Program().ethTimeout = 400;
    aim(ctx);
    ASSERT_TRUE(ConnectEthernet(ctx, kDeviceAddress));
    EXPECT_TRUE(op.asked.isEmpty());
    EXPECT_EQ(ctx.deviceMac, kMac);
    EXPECT_EQ(BoxName(ctx.deviceRecord), "Stand 1");
}

// Datagrams already waiting when a request goes out (stale or duplicated replies) are dropped:
// the answer is the device's reply to this request.
TEST_F(EthernetLink, DatagramsWaitingBeforeARequestAreNotItsAnswer)
{
    ASSERT_TRUE(ConnectEthernet(ctx, kDeviceAddress));
    const ConfigBlock reported = ctx.configBlock;
    QUdpSocket stale;
    const QByteArray junk(kDatagramSize, char(0x5A));
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(stale.writeDatagram(junk, QHostAddress(QStringLiteral("127.0.0.1")), replyPort),
                  kDatagramSize);
    }
    ASSERT_TRUE(ctx.receiveSocket->hasPendingDatagrams());
    ASSERT_TRUE(ReadConfigEth(ctx));
    EXPECT_EQ(ctx.configBlock, reported);
    EXPECT_EQ(ctx.deviceMac, kMac);
}

// The device answers from another address: the sender is not checked.
TEST_F(EthernetLink, AReplyFromAnotherAddressIsTaken)
{
    faults([](SimUdpFaults& f) { f.replyFrom = {127, 0, 0, 3}; });
    ASSERT_TRUE(ConnectEthernet(ctx, kDeviceAddress));
    EXPECT_EQ(ctx.sourceAddress, QHostAddress(QStringLiteral("127.0.0.3")));
}

// A write with a new address: the device moves there and the link follows it, reading the
// configuration from the new address. The bytes the record has no field for go back exactly
// as the device reported them.
TEST_F(EthernetLink, AWriteWithANewAddressFollowsTheDevice)
{
    ASSERT_TRUE(ConnectEthernet(ctx, kDeviceAddress));
    const ConfigBlock reported = ctx.configBlock;
    DeviceConfig record = ctx.deviceRecord;
    record.net.ip_adr = {127, 0, 0, 9};
    record.ports[1].rate = 115200;
    sim.clearLog();

    bool answered = false;
    ASSERT_TRUE(WriteConfigEth(ctx, record, &answered));
    EXPECT_TRUE(answered);
    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].line1, "Параметри записані у пристрій");
    EXPECT_EQ(sim.address(), IpAddress({127, 0, 0, 9}));
    EXPECT_EQ(ctx.deviceAddress, QHostAddress(QStringLiteral("127.0.0.9")));
    EXPECT_EQ(requests(), QList<SimRequest>({SimRequest::WriteConfig, SimRequest::FirstConnect,
                                             SimRequest::SecondConnect, SimRequest::ReadConfig}));
    EXPECT_EQ(ctx.deviceRecord.net.ip_adr, IpAddress({127, 0, 0, 9}));
    EXPECT_EQ(quint32(ctx.deviceRecord.ports[1].rate), 115200u) << "read from the new address";

    ConfigBlock expected = reported;
    RecordToBlock(expected, record);
    expected[16] = 0x01;
    const quint8 key[] = {0x70, 0x8B, 0xCD, 0x58, 0xA9, 0x36};
    std::copy(std::begin(key), std::end(key), expected.begin() + 23);
    EXPECT_EQ(sim.lastWrite(),
              QByteArray(reinterpret_cast<const char*>(expected.data()), kDatagramSize));
}

TEST_F(EthernetLink, AWriteWithTheSameAddressReadsAgain)
{
    ASSERT_TRUE(ConnectEthernet(ctx, kDeviceAddress));
    DeviceConfig record = ctx.deviceRecord;
    record.ports[0].timeout = 33;
    sim.clearLog();
    ASSERT_TRUE(WriteConfigEth(ctx, record));
    EXPECT_EQ(requests(), QList<SimRequest>({SimRequest::WriteConfig, SimRequest::ReadConfig}));
    EXPECT_EQ(quint32(ctx.deviceRecord.ports[0].timeout), 33u);
    EXPECT_EQ(sim.state().saved.ports[0].timeout, 33u);
}

// A write the device does not answer is not reported as written; the link then tries to read
// the configuration back, and with the device still silent it fails.
TEST_F(EthernetLink, AWriteWithoutAnAnswerIsNotReportedAsWritten)
{
    ASSERT_TRUE(ConnectEthernet(ctx, kDeviceAddress));
    faults([](SimUdpFaults& f) { f.silent = true; });
    bool answered = true;
    EXPECT_FALSE(WriteConfigEth(ctx, ctx.deviceRecord, &answered));
    EXPECT_FALSE(answered);
    QStringList told;
    for (const AskedMessage& m : op.asked)
        told << m.line1;
    EXPECT_EQ(told, QStringList({"Не виконано запис конфігурації в пристрій",
                                 "Не виконано читання конфігурації пристрою"}));
}

// The reply port is held by another program: the bind message names the port, and nothing is
// sent.
TEST_F(EthernetLink, AReplyPortInUseIsNamed)
{
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, replyPort));
    EXPECT_FALSE(ConnectEthernet(ctx, kDeviceAddress));
    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].kind, MsgNotice);
    EXPECT_EQ(op.asked[0].line1, "Помилка bind socket ");
    EXPECT_TRUE(op.asked[0].line2.startsWith("Error = ")) << op.asked[0].line2.toStdString();
    EXPECT_TRUE(op.asked[0].line2.contains(QString::number(replyPort)));
    EXPECT_EQ(sim.requestCount(), 0);
    EXPECT_EQ(ctx.sendSocket, nullptr);
}

// A broadcast address is sent to as a broadcast (the loopback network's own here): the send
// succeeds, and with no device answering there the wait runs out.
TEST_F(EthernetLink, ABroadcastAddressIsSentTo)
{
    // An abonent at the broadcast address: the requests go out as broadcasts and the device,
    // which takes those, is connected to and read.
    ASSERT_TRUE(ConnectEthernet(ctx, {127, 255, 255, 255}));
    EXPECT_TRUE(op.asked.isEmpty());
    EXPECT_EQ(ctx.deviceMac, kMac);
    EXPECT_EQ(BoxName(ctx.deviceRecord), "Stand 1");
    ASSERT_FALSE(sim.requests().isEmpty());
    EXPECT_TRUE(sim.requests().first().broadcast);
}

} // namespace
