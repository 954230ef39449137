// The UDP side of the simulated device, driven by a plain socket on loopback.

#include "serial_fixture.h"
#include "udp_side.h"

#include <chrono>
#include <cstring>
#include <set>
#include <thread>

namespace
{

class SimUdp : public ::testing::Test
{
protected:
    void SetUp() override { udp.start(); }

    UdpSide udp;
    SimUdpDevice& sim = udp.sim;
};

QByteArray macBytes(const std::array<quint8, 6>& mac)
{
    return QByteArray(reinterpret_cast<const char*>(mac.data()), 6);
}

// Two sets of the device's parameters, every field different between them.
SimDeviceState stateA()
{
    SimDeviceState s;
    s.name = "QEL-A";
    SimParams& p = s.params;
    p.ip = {10, 1, 2, 3};
    p.gateway = {10, 1, 2, 254};
    p.mask = {255, 255, 255, 0};
    p.ipPrz = 1;
    p.port2Enabled = 1;
    p.ports[0] = {};
    p.ports[0].regim = 1;
    p.ports[0].port = 4001;
    p.ports[0].remoteIp = {127, 0, 0, 9};
    p.ports[0].remotePort = 5000;
    p.ports[0].rate = 9600;
    p.ports[0].portSett = {1, 4, 8};
    p.ports[0].timeout = 7;
    p.ports[1].regim = 3;
    p.ports[1].port = 0x1234;
    p.ports[1].remoteIp = {192, 168, 7, 8};
    p.ports[1].remotePort = 0xABCD;
    p.ports[1].rate = 115200;
    p.ports[1].portSett = {2, 1, 7};
    p.ports[1].timeout = 200;
    s.saved = p;
    return s;
}

SimDeviceState stateB()
{
    SimDeviceState s = stateA();
    s.name = "Name of twenty bytes";
    SimParams& p = s.params;
    p.ip = {127, 0, 0, 4};
    p.gateway = {127, 0, 0, 1};
    p.mask = {255, 0, 0, 0};
    p.ipPrz = 0;
    p.port2Enabled = 0;
    p.ports[0].regim = 2;
    p.ports[0].port = 0x0102;
    p.ports[0].remoteIp = {1, 2, 3, 4};
    p.ports[0].remotePort = 0x0304;
    p.ports[0].rate = 230400;
    p.ports[0].portSett = {3, 0, 7};
    p.ports[0].timeout = 255;
    p.ports[1].regim = 0;
    p.ports[1].port = 0x8001;
    p.ports[1].remoteIp = {5, 6, 7, 8};
    p.ports[1].remotePort = 0x0506;
    p.ports[1].rate = 300;
    p.ports[1].portSett = {0, 3, 8};
    p.ports[1].timeout = 0;
    s.saved = p;
    return s;
}

// Where each field lies in the configuration block, and its bytes for state A and state B.
struct BlockField {
    const char* what; // the field's key
    int offset;
    QByteArray a;
    QByteArray b;
};

QByteArray padded(const char* text)
{
    QByteArray out(text);
    return out.append(QByteArray(20 - out.size(), '\0'));
}

const std::vector<BlockField>& blockFields()
{
    static const std::vector<BlockField> fields = {
        {"box_name", 35, padded("QEL-A"), padded("Name of twenty bytes")},
        {"ip_adr", 62, bytesOf({10, 1, 2, 3}), bytesOf({127, 0, 0, 4})},
        {"gateway", 66, bytesOf({10, 1, 2, 254}), bytesOf({127, 0, 0, 1})},
        {"net_mask", 70, bytesOf({255, 255, 255, 0}), bytesOf({255, 0, 0, 0})},
        {"ip_prz", 74, bytesOf({1}), bytesOf({0})},
        {"is_port2", 105, bytesOf({1}), bytesOf({0})},
        {"port2.regim", 106, bytesOf({3}), bytesOf({0})},
        {"port2.port", 108, bytesOf({0x34, 0x12}), bytesOf({0x01, 0x80})},
        {"port2.remote_ip_adr", 110, bytesOf({192, 168, 7, 8}), bytesOf({5, 6, 7, 8})},
        {"port2.remote_port", 114, bytesOf({0xCD, 0xAB}), bytesOf({0x06, 0x05})},
        {"port2.rate", 116, bytesOf({0x00, 0xC2, 0x01, 0x00}), bytesOf({0x2C, 0x01, 0, 0})},
        {"port2.port_sett[2]", 120, bytesOf({7}), bytesOf({8})},
        {"port2.port_sett[0]", 121, bytesOf({2}), bytesOf({0})},
        {"port2.port_sett[1]", 122, bytesOf({1}), bytesOf({3})},
        {"port2.timeout", 128, bytesOf({200}), bytesOf({0})},
        {"port1.regim", 171, bytesOf({1}), bytesOf({2})},
        {"port1.port", 173, bytesOf({0xA1, 0x0F}), bytesOf({0x02, 0x01})},
        {"port1.remote_ip_adr", 175, bytesOf({127, 0, 0, 9}), bytesOf({1, 2, 3, 4})},
        {"port1.remote_port", 179, bytesOf({0x88, 0x13}), bytesOf({0x04, 0x03})},
        {"port1.rate", 181, bytesOf({0x80, 0x25, 0, 0}), bytesOf({0x00, 0x84, 0x03, 0x00})},
        {"port1.port_sett[2]", 185, bytesOf({8}), bytesOf({7})},
        {"port1.port_sett[0]", 186, bytesOf({1}), bytesOf({3})},
        {"port1.port_sett[1]", 187, bytesOf({4}), bytesOf({0})},
        {"port1.timeout", 193, bytesOf({7}), bytesOf({255})},
    };
    return fields;
}

// The bytes of the block that no field covers, past the signature and the command.
std::vector<int> unmappedOffsets()
{
    std::set<int> mapped;
    for (const BlockField& f : blockFields())
        for (int i = 0; i < f.a.size(); ++i)
            mapped.insert(f.offset + i);
    std::vector<int> out;
    for (int i = 17; i < kSimDatagramSize; ++i)
        if (!mapped.count(i))
            out.push_back(i);
    return out;
}

// Expects every field of block to hold its bytes of state B, or of state A for the field
// with the key aKey.
void expectFields(const QByteArray& block, bool b, const char* aKey = "")
{
    ASSERT_EQ(block.size(), kSimDatagramSize);
    for (const BlockField& f : blockFields()) {
        const QByteArray& want = b && std::strcmp(f.what, aKey) != 0 ? f.b : f.a;
        EXPECT_EQ(block.mid(f.offset, want.size()).toHex(), want.toHex()) << f.what;
    }
}

TEST_F(SimUdp, AnswersTheConnectionCommands)
{
    const std::optional<Received> first = udp.ask(FirstConnect());
    ASSERT_TRUE(first);
    EXPECT_TRUE(IsFirstConnectReply(first->bytes, 39));
    EXPECT_EQ(first->from, sim.address());
    EXPECT_EQ(first->fromPort, sim.devicePort());
    const int end = first->bytes.indexOf('\0', 34);
    EXPECT_EQ(first->bytes.mid(34, end - 34), QByteArray(kSimModuleName));

    const std::array<quint8, 6> mac{{0x02, 0xA0, 0xB1, 0xC2, 0xD3, 0xE4}};
    sim.setMac(mac);
    const std::optional<Received> second = udp.ask(SecondConnect());
    ASSERT_TRUE(second);
    ASSERT_EQ(second->bytes.size(), kSimDatagramSize);
    EXPECT_EQ(second->bytes.mid(17, 6), macBytes(mac));

    ASSERT_TRUE(sim.waitForRequests(2, kDeadlineMs));
    const QList<SimDatagram> log = sim.requests();
    EXPECT_EQ(log[0].request, SimRequest::FirstConnect);
    EXPECT_EQ(log[1].request, SimRequest::SecondConnect);
    EXPECT_EQ(log[1].signature, QByteArray("NET_MODULE_COMM", 16));
    EXPECT_EQ(log[1].command, 0x04);
    EXPECT_EQ(log[1].bytes, SecondConnect());
    EXPECT_EQ(log[1].sender, (IpAddress{{127, 0, 0, 1}}));
    EXPECT_EQ(log[1].senderPort, udp.client.port());
    EXPECT_TRUE(log[1].answered);
}

TEST_F(SimUdp, ReadGivesTheBlockWithItsFieldsInPlaceAndAFixedFiller)
{
    sim.setState(stateA());
    const QByteArray block = udp.readBlock();
    EXPECT_EQ(block.left(16), QByteArray("CH9121_CFG_FLAG", 16));
    expectFields(block, false);

    const QByteArray again = udp.readBlock();
    for (int i : unmappedOffsets()) {
        EXPECT_NE(block[i], '\0') << "byte " << i;
        EXPECT_EQ(again[i], block[i]) << "byte " << i;
    }
}

TEST_F(SimUdp, WriteTakesTheFieldsIntoBothSetsAndLeavesTheFillerAlone)
{
    sim.setState(stateA());
    const QByteArray before = udp.readBlock();
    QByteArray block = before;
    for (const BlockField& f : blockFields())
        block.replace(f.offset, f.b.size(), f.b);
    block[55] = '\0'; // as the tool sends it
    const QByteArray write = WriteConfig(block);

    const std::optional<Received> answer = udp.ask(write);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->bytes.size(), kSimDatagramSize);
    EXPECT_EQ(sim.lastWrite(), write);
    const SimDeviceState state = sim.state();
    EXPECT_EQ(state.name, QByteArray("Name of twenty bytes"));
    EXPECT_EQ(state.params, stateB().params);
    EXPECT_EQ(state.saved, stateB().params);
    EXPECT_EQ(state.saves, 1);
    EXPECT_EQ(state.restarts, 1);

    const QByteArray after = udp.readBlock(); // at the address just written
    expectFields(after, true);
    for (int i : unmappedOffsets())
        EXPECT_EQ(after[i], before[i]) << "byte " << i;
}

TEST_F(SimUdp, AWriteLeavesTheDroppedFieldAsItWasAndTakesTheOthers)
{
    ASSERT_EQ(SimFieldKeys().size(), int(blockFields().size()));
    // Without its new ip_adr the device stays where it is.
    sim.setState(stateA());
    ASSERT_TRUE(sim.setDropField(QStringLiteral("ip_adr")));
    const IpAddress here = sim.address();
    ASSERT_TRUE(udp.ask(WriteConfig(SimConfigBlock(stateB()))));
    EXPECT_EQ(sim.address(), here);

    for (const BlockField& f : blockFields()) {
        SCOPED_TRACE(f.what);
        sim.setState(stateA());
        ASSERT_TRUE(sim.setDropField(QString::fromLatin1(f.what)));
        const std::optional<Received> answer = udp.ask(WriteConfig(SimConfigBlock(stateB())));
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->bytes.left(17), WriteConfig(SimConfigBlock(stateB())).left(17));
        expectFields(udp.readBlock(), true, f.what);
        const SimDeviceState state = sim.state();
        EXPECT_EQ(state.saved, state.params); // the saved set kept the old value too
        EXPECT_EQ(state.saves, 1);
    }
}

TEST(SimDropField, UnknownKeysAreRefused)
{
    SimDevice device;
    ASSERT_TRUE(device.setDropField(QStringLiteral("port2.rate")));
    for (const char* key : {"port3.rate", "port1.Rate", "rate", "port_sett[3]",
                            "port1.port_sett[3]", " box_name", "Mac_addres", "box_vers"}) {
        EXPECT_FALSE(device.setDropField(QString::fromLatin1(key))) << key;
        EXPECT_EQ(device.state().dropField, QStringLiteral("port2.rate")) << key;
    }
    EXPECT_TRUE(device.setDropField(QString()));
    EXPECT_TRUE(device.state().dropField.isEmpty());
}

// A write of the block the device reported, with only ip_adr changed.
QByteArray writeWithIp(const UdpSide& udp, const IpAddress& ip)
{
    QByteArray block = udp.readBlock();
    block.replace(62, 4, QByteArray(reinterpret_cast<const char*>(ip.data()), 4));
    return WriteConfig(block);
}

TEST_F(SimUdp, WriteOfANewLoopbackAddressMovesTheDevice)
{
    const IpAddress old = sim.address();
    const IpAddress moved{{127, 0, 0, 5}};
    const std::optional<Received> answer = udp.ask(writeWithIp(udp, moved));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->from, old); // the answer leaves before the move
    EXPECT_EQ(sim.address(), moved);
    const int taken = sim.requestCount();

    udp.client.send(old, sim.devicePort(), FirstConnect()); // nobody there any more
    udp.client.send(moved, sim.devicePort(), FirstConnect());
    const std::optional<Received> r = udp.client.receive();
    ASSERT_TRUE(r);
    EXPECT_TRUE(IsFirstConnectReply(r->bytes));
    EXPECT_EQ(r->from, moved);
    EXPECT_EQ(sim.requestCount(), taken + 1);
    EXPECT_EQ(sim.state().params.ip, moved);
}

TEST_F(SimUdp, WriteOfANonLoopbackAddressLeavesTheDeviceWhereItIs)
{
    const IpAddress old = sim.address();
    const IpAddress outside{{192, 0, 2, 10}};
    ::testing::internal::CaptureStderr();
    const std::optional<Received> answer = udp.ask(writeWithIp(udp, outside));
    const std::optional<Received> probe = udp.ask(FirstConnect());
    const std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(answer);
    ASSERT_TRUE(probe);
    EXPECT_TRUE(IsFirstConnectReply(probe->bytes));
    EXPECT_EQ(probe->from, old);
    EXPECT_EQ(sim.address(), old);
    EXPECT_EQ(sim.state().params.ip, outside); // the device reports what it was given
    EXPECT_NE(err.find("192.0.2.10"), std::string::npos) << err;
}

TEST_F(SimUdp, NoAnswerToWhatTheDeviceDoesNotKnow)
{
    const SimDeviceState state = sim.state();
    const QByteArray read = ReadConfig(state.mac);
    QByteArray unknownSignature = SecondConnect();
    unknownSignature[14] = 'N';
    QByteArray unknownCommand = FirstConnect();
    unknownCommand[16] = char(0x03);
    std::array<quint8, 6> otherMac = state.mac;
    otherMac[5] ^= 1;
    const QByteArray write = WriteConfig(udp.readBlock());
    QByteArray writeWithoutKey = write;
    writeWithoutKey[28] = char(0x37);
    QByteArray writeWithOtherSignature = write;
    writeWithOtherSignature.replace(0, 16, SecondConnect().left(16));

    struct Case {
        const char* what;
        QByteArray request;
    };
    for (const Case& c : {Case{"284 bytes", read.left(284)}, Case{"286 bytes", read + '\0'},
                          Case{"empty", QByteArray()}, Case{"unknown signature", unknownSignature},
                          Case{"unknown command", unknownCommand},
                          Case{"read of another MAC", ReadConfig(otherMac)},
                          Case{"write without its key", writeWithoutKey},
                          Case{"write with another signature", writeWithOtherSignature}}) {
        SCOPED_TRACE(c.what);
        udp.expectNoAnswer(c.request);
    }
    EXPECT_TRUE(sim.lastWrite().isEmpty());
    EXPECT_EQ(sim.state().saves, 0);
}

TEST_F(SimUdp, SilentDeviceTakesRequestsButNeitherAnswersNorCarriesThemOut)
{
    SimUdpFaults faults;
    faults.silent = true;
    sim.setFaults(faults);
    udp.expectNoAnswer(SecondConnect(), [&] {
        udp.send(WriteConfig(SimConfigBlock(stateB())));
        ASSERT_TRUE(sim.waitForRequests(2, kDeadlineMs));
        sim.setFaults({});
    });
    EXPECT_EQ(sim.state().saves, 0);
    EXPECT_EQ(sim.requestCount(), 3);
}

TEST_F(SimUdp, ReplySizeOverride)
{
    const std::optional<Received> whole = udp.ask(FirstConnect());
    ASSERT_TRUE(whole);
    for (int size : {284, 286}) {
        SimUdpFaults faults;
        faults.replySize = size;
        sim.setFaults(faults);
        const std::optional<Received> r = udp.ask(FirstConnect());
        ASSERT_TRUE(r) << size;
        EXPECT_EQ(r->bytes.size(), size);
        EXPECT_EQ(r->bytes.left(284), whole->bytes.left(284)) << size;
    }
}

TEST_F(SimUdp, AnotherFirmwareVersion)
{
    sim.setVersion(40);
    const std::optional<Received> r = udp.ask(FirstConnect());
    ASSERT_TRUE(r);
    EXPECT_TRUE(IsFirstConnectReply(r->bytes, 40));
}

TEST_F(SimUdp, LateReplyLeavesAfterTheNextRequestWasTaken)
{
    SimUdpFaults faults;
    faults.replyDelayMs = 1500;
    sim.setFaults(faults);
    udp.send(FirstConnect());
    ASSERT_TRUE(sim.waitForRequests(1, kDeadlineMs));
    udp.send(SecondConnect());

    const std::optional<Received> first = udp.client.receive(kDeadlineMs + 1500);
    const std::optional<Received> second = udp.client.receive(kDeadlineMs + 1500);
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_TRUE(IsFirstConnectReply(first->bytes));
    EXPECT_EQ(second->bytes.mid(17, 6), macBytes(sim.state().mac));
    const QList<SimDatagram> log = sim.requests();
    ASSERT_EQ(log.size(), 2);
    EXPECT_LT(log[1].receivedNs, log[0].repliedNs);
    EXPECT_GE(log[0].repliedNs - log[0].receivedNs, 1500'000'000);
}

TEST_F(SimUdp, ReplyFromAnotherAddress)
{
    SimUdpFaults faults;
    faults.replyFrom = {127, 0, 0, 3};
    sim.setFaults(faults);
    const std::optional<Received> r = udp.ask(FirstConnect());
    ASSERT_TRUE(r);
    EXPECT_TRUE(IsFirstConnectReply(r->bytes));
    EXPECT_EQ(r->from, faults.replyFrom);

    sim.setFaults({});
    const std::optional<Received> back = udp.ask(FirstConnect());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->from, sim.address());
}

TEST_F(SimUdp, DuplicatedReply)
{
    SimUdpFaults faults;
    faults.duplicate = true;
    sim.setFaults(faults);
    const std::optional<Received> r1 = udp.ask(SecondConnect());
    const std::optional<Received> r2 = udp.client.receive();
    ASSERT_TRUE(r1);
    ASSERT_TRUE(r2);
    EXPECT_EQ(r1->bytes, r2->bytes);
    EXPECT_EQ(r1->bytes.mid(17, 6), macBytes(sim.state().mac));

    sim.setFaults({});
    const std::optional<Received> next = udp.ask(FirstConnect());
    ASSERT_TRUE(next);
    EXPECT_TRUE(IsFirstConnectReply(next->bytes)) << "a third copy came";
}

TEST_F(SimUdp, AfterAWriteTheDeviceRestartsInSilence)
{
    // A short silence ends by itself: it starts before its write's answer arrives.
    SimUdpFaults faults;
    faults.restartSilenceMs = 300;
    sim.setFaults(faults);
    ASSERT_TRUE(udp.ask(WriteConfig(SimConfigBlock(stateA()))));
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    const std::optional<Received> after = udp.ask(FirstConnect());
    ASSERT_TRUE(after);
    EXPECT_TRUE(IsFirstConnectReply(after->bytes));

    faults.restartSilenceMs = 600'000; // longer than the test; switched off to end it
    sim.setFaults(faults);
    ASSERT_TRUE(udp.ask(WriteConfig(SimConfigBlock(stateB()))));
    udp.expectNoAnswer(SecondConnect(), [&] {
        udp.send(WriteConfig(SimConfigBlock(stateA()))); // not carried out either
        ASSERT_TRUE(sim.waitForRequests(5, kDeadlineMs));
        sim.setFaults({});
    });
    const QList<SimDatagram> log = sim.requests();
    ASSERT_EQ(log.size(), 6);
    EXPECT_EQ(log[3].request, SimRequest::Unknown);
    EXPECT_FALSE(log[4].answered);
    EXPECT_EQ(sim.state().saves, 2);
    EXPECT_EQ(sim.state().params, stateB().params);
}

TEST_F(SimUdp, RepliesWithAnUnknownSignature)
{
    for (const QByteArray& request :
         {FirstConnect(), SecondConnect(), ReadConfig(sim.state().mac)}) {
        SCOPED_TRACE(request.left(17).toHex().toStdString());
        sim.setFaults({});
        const std::optional<Received> good = udp.ask(request);
        SimUdpFaults faults;
        faults.badSignature = true;
        sim.setFaults(faults);
        const std::optional<Received> bad = udp.ask(request);
        ASSERT_TRUE(good);
        ASSERT_TRUE(bad);
        ASSERT_EQ(bad->bytes.size(), kSimDatagramSize);
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(quint8(bad->bytes[i]), quint8(good->bytes[i] ^ 0xFF)) << i;
        EXPECT_EQ(bad->bytes.mid(16), good->bytes.mid(16));
    }
}

TEST(SimUdpAddress, OnlyLoopbackAddresses)
{
    SimUdpDevice sim;
    EXPECT_FALSE(sim.setAddress({{192, 0, 2, 1}}));
    EXPECT_FALSE(sim.setAddress({{0, 0, 0, 0}}));
    EXPECT_FALSE(sim.setAddress(kSimLoopbackBroadcast));
    EXPECT_EQ(sim.address(), (IpAddress{{127, 0, 0, 2}}));
    EXPECT_TRUE(sim.setAddress({{127, 1, 2, 3}}));
    EXPECT_EQ(sim.address(), (IpAddress{{127, 1, 2, 3}}));
}

// One device behind both links.
class SimBothSides : public SimSerial
{
protected:
    void SetUp() override
    {
        SimSerial::SetUp();
        udp.start();
    }

    UdpSide udp{sim.device()};
};

TEST_F(SimBothSides, AWriteOverOneLinkIsSeenOnTheOther)
{
    sim.setState(stateA());
    ASSERT_TRUE(udp.ask(WriteConfig(SimConfigBlock(stateB()))));
    EXPECT_EQ(command(0x61), bytesOf({127, 0, 0, 4}));           // ip_adr
    EXPECT_EQ(command(0x71), bytesOf({0x00, 0x84, 0x03, 0x00})); // port 1 rate
    EXPECT_EQ(command(0x95), bytesOf({0, 3, 8}));                // port 2 frame settings
    command(0x02);                                               // restart: saved by the write
    EXPECT_EQ(command(0x94), bytesOf({0x2C, 0x01, 0x00, 0x00})); // port 2 rate

    command(0x41, bytesOf({0x22, 0x11})); // port 2 local port over the serial line
    const QByteArray block = udp.readBlock();
    ASSERT_EQ(block.size(), kSimDatagramSize);
    EXPECT_EQ(block.mid(108, 2), bytesOf({0x22, 0x11}));
}

} // namespace
