// Broadcasts to 127.255.255.255 and several simulated devices sharing one device port, each
// on its own loopback address.

#include "udp_side.h"

#include <set>

namespace
{

const IpAddress kNobody{{127, 0, 0, 5}}; // no device is bound there

// Three devices on 127.0.0.2, 127.0.0.3 and 127.0.0.4 at one device port, each with its own
// MAC, answering one client.
class SimUdpBroadcast : public ::testing::Test
{
protected:
    void start(bool broadcasts = true)
    {
        ASSERT_TRUE(client.isOpen());
        for (size_t i = 0; i < devices.size(); ++i) {
            SimUdpDevice& d = devices[i];
            ASSERT_TRUE(d.setAddress({{127, 0, 0, quint8(2 + i)}}));
            ASSERT_TRUE(d.setDevicePort(port)); // 0 for the first: the system chooses
            ASSERT_TRUE(d.setAnswerBroadcasts(broadcasts));
            d.setReplyPort(client.port());
            d.setMac({{0x02, 0x00, 0x00, 0x00, 0x00, quint8(0x10 + i)}});
            QString error;
            ASSERT_TRUE(d.start(&error)) << i << ": " << qPrintable(error);
            port = d.devicePort();
        }
    }

    void broadcast(const QByteArray& request) const
    {
        client.send(kSimLoopbackBroadcast, port, request);
    }

    // The device that sent r, by its address; -1 for none.
    int sender(const Received& r) const
    {
        for (size_t i = 0; i < devices.size(); ++i)
            if (devices[i].address() == r.from)
                return int(i);
        return -1;
    }

    // The next datagrams are one answer to request from each device, from its own address
    // and port, as the device's own data makes it.
    void expectAnswerFromEach(const QByteArray& request) const
    {
        const std::vector<Received> replies = client.receiveMany(int(devices.size()));
        ASSERT_EQ(replies.size(), devices.size());
        std::set<int> senders;
        for (const Received& r : replies) {
            const int i = sender(r);
            ASSERT_GE(i, 0) << qPrintable(AddressText(r.from));
            senders.insert(i);
            EXPECT_EQ(r.fromPort, port);
            SimDeviceState state = devices[size_t(i)].state();
            EXPECT_EQ(r.bytes.toHex(), SimAnswerDatagram(state, request).reply.toHex()) << i;
        }
        EXPECT_EQ(senders.size(), devices.size()) << "a device answered twice";
    }

    std::array<SimUdpDevice, 3> devices;
    UdpClient client;
    quint16 port = 0;
};

TEST_F(SimUdpBroadcast, EveryDeviceAnswersABroadcastOnceFromItsOwnAddress)
{
    start();
    broadcast(FirstConnect());
    expectAnswerFromEach(FirstConnect());
    // A second answer to the first broadcast would come before a device's answer here.
    broadcast(SecondConnect());
    expectAnswerFromEach(SecondConnect());

    for (const SimUdpDevice& d : devices) {
        const QList<SimDatagram> log = d.requests();
        ASSERT_EQ(log.size(), 2);
        EXPECT_EQ(log[0].request, SimRequest::FirstConnect);
        EXPECT_EQ(log[1].request, SimRequest::SecondConnect);
        for (const SimDatagram& taken : log) {
            EXPECT_TRUE(taken.broadcast);
            EXPECT_TRUE(taken.answered);
            EXPECT_EQ(taken.sender, (IpAddress{{127, 0, 0, 1}}));
            EXPECT_EQ(taken.senderPort, client.port());
        }
    }
}

TEST_F(SimUdpBroadcast, AUnicastIsAnsweredByItsDeviceOnly)
{
    start();
    client.send(devices[1].address(), port, SecondConnect());
    const std::optional<Received> r = client.receive();
    ASSERT_TRUE(r);
    EXPECT_EQ(sender(*r), 1);
    // An answer of another device to the unicast would come before its answer here.
    broadcast(FirstConnect());
    expectAnswerFromEach(FirstConnect());

    EXPECT_EQ(devices[0].requestCount(), 1);
    EXPECT_EQ(devices[2].requestCount(), 1);
    const QList<SimDatagram> log = devices[1].requests();
    ASSERT_EQ(log.size(), 2);
    EXPECT_FALSE(log[0].broadcast);
    EXPECT_TRUE(log[1].broadcast);
}

TEST_F(SimUdpBroadcast, AUnicastToAnAddressWithoutADeviceIsAnsweredByNone)
{
    start();
    // It lands on the 0.0.0.0 socket of one of the devices, which drops it.
    client.send(kNobody, port, FirstConnect());
    broadcast(SecondConnect());
    expectAnswerFromEach(SecondConnect());
    for (const SimUdpDevice& d : devices)
        EXPECT_EQ(d.requestCount(), 1);
}

TEST_F(SimUdpBroadcast, WithBroadcastsOffOnlyUnicastsAreAnswered)
{
    start(false);
    for (const SimUdpDevice& d : devices)
        EXPECT_FALSE(d.answersBroadcasts());
    broadcast(FirstConnect());
    // An answer to the broadcast would come before a device's answer to its unicast.
    for (const SimUdpDevice& d : devices)
        client.send(d.address(), port, SecondConnect());
    expectAnswerFromEach(SecondConnect());
    for (const SimUdpDevice& d : devices) {
        ASSERT_EQ(d.requestCount(), 1);
        EXPECT_FALSE(d.requests()[0].broadcast);
    }
}

TEST_F(SimUdpBroadcast, TheSwitchIsSetBeforeStart)
{
    start();
    EXPECT_FALSE(devices[0].setAnswerBroadcasts(false));
    EXPECT_TRUE(devices[0].answersBroadcasts());
}

TEST_F(SimUdpBroadcast, TwoDevicesNeverShareAnAddress)
{
    start();
    SimUdpDevice second;
    ASSERT_TRUE(second.setAddress(devices[0].address()));
    ASSERT_TRUE(second.setDevicePort(port));
    QString error;
    EXPECT_FALSE(second.start(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("127.0.0.2:%1").arg(port))) << qPrintable(error);

    // Nor does a write move a device onto the address of another.
    QByteArray block = SimConfigBlock(devices[1].state());
    block.replace(62, 4, QByteArray("\x7F\x00\x00\x02", 4));
    ::testing::internal::CaptureStderr();
    client.send(devices[1].address(), port, WriteConfig(block));
    const std::optional<Received> answer = client.receive();
    broadcast(FirstConnect()); // answered once the device has said why it stays
    expectAnswerFromEach(FirstConnect());
    const std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(answer);
    EXPECT_EQ(devices[1].address(), (IpAddress{{127, 0, 0, 3}}));
    EXPECT_NE(err.find("cannot move to 127.0.0.2"), std::string::npos) << err;
}

// One device on its own.
class SimUdpOne : public ::testing::Test
{
protected:
    void SetUp() override { udp.start(); }

    UdpSide udp;
    SimUdpDevice& sim = udp.sim;
};

TEST_F(SimUdpOne, BroadcastsFollowTheDeviceToItsNewAddress)
{
    const IpAddress moved{{127, 0, 0, 6}};
    QByteArray block = udp.readBlock();
    block.replace(62, 4, QByteArray(reinterpret_cast<const char*>(moved.data()), 4));
    ASSERT_TRUE(udp.ask(WriteConfig(block)));
    ASSERT_EQ(sim.address(), moved);

    udp.client.send(kSimLoopbackBroadcast, sim.devicePort(), FirstConnect());
    const std::optional<Received> r = udp.client.receive();
    ASSERT_TRUE(r);
    EXPECT_TRUE(IsFirstConnectReply(r->bytes));
    EXPECT_EQ(r->from, moved);
    EXPECT_TRUE(sim.requests().last().broadcast);
}

TEST_F(SimUdpOne, FaultsApplyToBroadcastsAsToUnicasts)
{
    const IpAddress other{{127, 0, 0, 3}};
    struct Case {
        const char* what;
        SimUdpFaults faults;
        size_t copies;
        int size;
        IpAddress from;
    };
    SimUdpFaults silent, cut, elsewhere, twice;
    silent.silent = true;
    cut.replySize = 200;
    elsewhere.replyFrom = other;
    twice.duplicate = true;
    for (const Case& c :
         {Case{"silent", silent, 0, 0, {}}, Case{"reply size", cut, 1, 200, sim.address()},
          Case{"reply from", elsewhere, 1, kSimDatagramSize, other},
          Case{"duplicate", twice, 2, kSimDatagramSize, sim.address()}}) {
        for (const bool broadcast : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (broadcast ? ", broadcast" : ", unicast"));
            sim.setFaults(c.faults);
            const std::vector<Received> answers = udp.answersTo(
                SecondConnect(), [&] { sim.setFaults({}); }, broadcast);
            ASSERT_EQ(answers.size(), c.copies);
            for (const Received& r : answers) {
                EXPECT_EQ(r.bytes.size(), c.size);
                EXPECT_EQ(r.from, c.from);
            }
            EXPECT_EQ(sim.requests().last().broadcast, false); // the probe
            EXPECT_EQ(sim.requests()[sim.requestCount() - 2].broadcast, broadcast);
        }
    }
}

} // namespace
