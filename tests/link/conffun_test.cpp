#include "link/comportfunctions.h"
#include "link/conffun.h"
#include "link/qelbox.h"

#include "support/qt_printers.h"
#include "support/scripted_operator.h"
#include "support/sim_com.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{

constexpr int kSimCom = 7;

const Codes kCommitNone = {0x0D, 0x02};
const Codes kCommitPort1 = {0x17, 0x24, 0x26, 0x25, 0x0D, 0x02};
const Codes kCommitPort2 = {0x47, 0x49, 0x48, 0x0D, 0x02};

const QString kNoReply = QStringLiteral("Пристрій не відповідає");

// The parameter groups against the simulated device; a command the device ignores fails
// after one short attempt and its retry question is answered "Ні".
class Groups : public SimComTest
{
protected:
    Groups() : SimComTest(kSimCom) {}

    void SetUp() override
    {
        SimComTest::SetUp();
        if (HasFatalFailure())
            return;
        openLink(ctx);
        if (HasFatalFailure())
            return;
        ctx.attemptCount = 1;
        ctx.replyTimeout = 300;
        ctx.interByteTimeout = 100;
        // Each command's pass starts with "Обмін..." in the status panel.
        ctx.statusPanel = [this](const QString& text) {
            if (!text.isEmpty())
                cursorAtCommand.push_back(op.busyDepth > 0);
        };
    }

    // A new case: empty logs, and the device ignores the commands with these codes.
    void startCase(const QByteArray& ignored = {})
    {
        sim.clearLog();
        op.asked.clear();
        cursorAtCommand.clear();
        SimSerialFaults faults;
        faults.silentCodes = ignored;
        sim.setFaults(faults);
    }

    Codes sent() const { return SentCodes(sim); }

    // The data bytes of the first frame with the code; {-1} when none was sent.
    Codes dataOf(int code) const
    {
        for (const SimFrame& f : sim.frames()) {
            if (f.code != code)
                continue;
            Codes bytes;
            for (char b : f.data)
                bytes.push_back(quint8(b));
            return bytes;
        }
        return {-1};
    }

    // The wait cursor was on for every command of the case and is off again.
    bool cursorOnForEveryCommand() const
    {
        return !cursorAtCommand.empty() && cursorAtCommand.size() == sent().size() &&
               std::find(cursorAtCommand.begin(), cursorAtCommand.end(), false) ==
                   cursorAtCommand.end() &&
               op.busyDepth == 0;
    }

    ScriptedOperator op;
    LinkContext ctx;
    std::vector<bool> cursorAtCommand;
};

PortConfig samplePort(quint8 regim)
{
    PortConfig p;
    p.regim = regim;
    p.port = 0xC350; // 50000
    p.remote_ip_adr = {192, 168, 1, 20};
    p.remote_port = 0x1F90; // 8080
    p.rate = 115200;
    p.port_sett = {2, 1, 7};
    p.timeout = 200;
    return p;
}

} // namespace

TEST_F(Groups, PortWriteSendsTheRemoteOnlyInClientModes)
{
    struct Case {
        int port;
        quint8 regim;
        Codes codes;
    };
    const Case cases[] = {
        {1, 0, Codes{0x10, 0x14, 0x21, 0x22, 0x23} + kCommitPort1},
        {1, 2, Codes{0x10, 0x14, 0x21, 0x22, 0x23} + kCommitPort1},
        {1, 1, Codes{0x10, 0x14, 0x15, 0x16, 0x21, 0x22, 0x23} + kCommitPort1},
        {1, 3, Codes{0x10, 0x14, 0x15, 0x16, 0x21, 0x22, 0x23} + kCommitPort1},
        {2, 0, Codes{0x40, 0x41, 0x44, 0x45, 0x46, 0x39} + kCommitPort2},
        {2, 3, Codes{0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x39} + kCommitPort2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "port " << c.port << " mode " << int(c.regim));
        startCase();
        // A failure left over from an earlier write does not stick.
        CommandFailure failure{true, 0x11, ResNoReply, kNoReply};
        EXPECT_TRUE(WritePortConfig(ctx, c.port, samplePort(c.regim), &failure));
        EXPECT_FALSE(failure.failed);
        EXPECT_EQ(sent(), c.codes);
        EXPECT_TRUE(cursorOnForEveryCommand());
    }
    EXPECT_TRUE(op.asked.isEmpty());
}

TEST_F(Groups, PortWriteLandsInTheDeviceLittleEndian)
{
    // The device starts with the opposite of every setting the commit makes, so each one
    // shows whether it was written.
    SimDeviceState before = sim.state();
    for (SimPortParams& p : before.params.ports) {
        p.randomEnable = 1;
        p.disconnectOnCable = 0;
        p.clearOnConnect = 0;
        p.packetLength = 512;
    }
    before.params.port2Enabled = 0;
    before.saved = before.params;
    sim.setState(before);

    struct Case {
        int port;
        std::vector<std::pair<int, Codes>> data; // a command's code and its data bytes
        quint8 disconnectOnCable;                // a setting of port 1 only
    };
    const Case cases[] = {
        {1,
         {{0x10, {1}},
          {0x14, {0x50, 0xC3}},
          {0x15, {0xC0, 0xA8, 0x01, 0x14}},
          {0x16, {0x90, 0x1F}},
          {0x21, {0x00, 0xC2, 0x01, 0x00}},
          {0x22, {0x02, 0x01, 0x07}},
          {0x23, {0xC8, 0x00, 0x00, 0x00}},
          {0x17, {0}},
          {0x24, {1}},
          {0x26, {1}},
          {0x25, {0x00, 0x04, 0x00, 0x00}},
          {0x0D, {}},
          {0x02, {}}},
         1},
        {2,
         {{0x40, {1}},
          {0x41, {0x50, 0xC3}},
          {0x42, {0xC0, 0xA8, 0x01, 0x14}},
          {0x43, {0x90, 0x1F}},
          {0x44, {0x00, 0xC2, 0x01, 0x00}},
          {0x45, {0x02, 0x01, 0x07}},
          {0x46, {0xC8, 0x00, 0x00, 0x00}},
          {0x39, {1}},
          {0x47, {0}},
          {0x49, {1}},
          {0x48, {0x00, 0x04, 0x00, 0x00}},
          {0x0D, {}},
          {0x02, {}}},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "port " << c.port);
        startCase();
        ASSERT_TRUE(WritePortConfig(ctx, c.port, samplePort(1)));
        for (const auto& [code, bytes] : c.data)
            EXPECT_EQ(dataOf(code), bytes) << "command " << code;

        // Saved to EEPROM and restarted with it, with the commit's settings for the port.
        const SimDeviceState state = sim.state();
        const SimPortParams& p = state.saved.ports[size_t(c.port - 1)];
        EXPECT_EQ(state.params, state.saved);
        EXPECT_EQ(p.regim, 1);
        EXPECT_EQ(p.port, 50000);
        EXPECT_EQ(p.remoteIp, (std::array<quint8, 4>{192, 168, 1, 20}));
        EXPECT_EQ(p.remotePort, 8080);
        EXPECT_EQ(p.rate, 115200u);
        EXPECT_EQ(p.timeout, 200u);
        EXPECT_EQ(p.packetLength, 1024u);
        EXPECT_EQ(p.randomEnable, 0);
        EXPECT_EQ(p.disconnectOnCable, c.disconnectOnCable);
        EXPECT_EQ(p.clearOnConnect, 1);
        EXPECT_EQ(state.saved.port2Enabled, c.port == 2 ? 1 : 0);
        EXPECT_GE(state.restarts, 1);
    }
}

TEST_F(Groups, PortReadGivesTheGroupAndIsRepeatable)
{
    ASSERT_TRUE(WritePortConfig(ctx, 2, samplePort(3)));
    PortConfig first{}; // callers clear the group; the read fills the time-out's low byte only
    ASSERT_TRUE(ReadPortConfig(ctx, 2, first));
    EXPECT_EQ(first, samplePort(3));
    EXPECT_EQ(first.timeout, 200u);
    PortConfig second{};
    ASSERT_TRUE(ReadPortConfig(ctx, 2, second));
    EXPECT_EQ(std::memcmp(&first, &second, sizeof first), 0);
    EXPECT_EQ(sim.state().params.port2Enabled, 1);
}

// One write per row with the device ignoring some commands: the commands the stop rules
// send, then a failed result naming the first command that was not acknowledged, however
// many commands came after it.
TEST_F(Groups, WritesFailWhenAnyCommandIsNotAcknowledged)
{
    enum class Op { Net, Port1, Port2, Commit1, Commit2 };
    const auto write = [this](Op op, CommandFailure* failure) {
        NetConfig net;
        net.ip_prz = 0;
        switch (op) {
        case Op::Net:
            return WriteNetConfig(ctx, net, failure);
        case Op::Port1:
            return WritePortConfig(ctx, 1, samplePort(1), failure);
        case Op::Port2:
            return WritePortConfig(ctx, 2, samplePort(1), failure);
        case Op::Commit1:
            return CommitConfig(ctx, CommitWhich::Port1, failure);
        case Op::Commit2:
            return CommitConfig(ctx, CommitWhich::Port2, failure);
        }
        return true;
    };
    const Codes net = {0x11, 0x12, 0x13, 0x33};
    const Codes port1 = {0x10, 0x14, 0x15, 0x16, 0x21, 0x22, 0x23};
    const Codes port2 = {0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x39};
    struct Case {
        Op op;
        QByteArray ignored;
        Codes codes;
        int firstFailed;
        int questions;
    };
    const Case cases[] = {
        {Op::Net, "\x11", {0x11}, 0x11, 1}, // nothing else, no commit
        // 0x13 is skipped; the mode and the commit still go out.
        {Op::Net, "\x12", Codes{0x11, 0x12, 0x33} + kCommitNone, 0x12, 1},
        {Op::Net, "\x33", net + kCommitNone, 0x33, 1},
        {Op::Net, "\x12\x33", Codes{0x11, 0x12, 0x33} + kCommitNone, 0x12, 2},
        // After a failed save the device restarts with its old values: the write is lost.
        {Op::Net, "\x0D", net + kCommitNone, 0x0D, 1},
        {Op::Net, "\x02", net + kCommitNone, 0x02, 1},
        {Op::Port1, "\x14", {0x10, 0x14}, 0x14, 1},
        {Op::Port1, "\x23", port1, 0x23, 1}, // no commit after a failed time-out
        {Op::Port2, "\x45", {0x40, 0x41, 0x42, 0x43, 0x44, 0x45}, 0x45, 1},
        // Port 2 is switched on after its time-out command whatever that command's outcome.
        {Op::Port2, "\x46", port2, 0x46, 1},
        {Op::Port2, "\x39", port2 + kCommitPort2, 0x39, 1},
        {Op::Port2, "\x48", port2 + kCommitPort2, 0x48, 1},
        // The commit goes on past its failures; each asked its own question.
        {Op::Commit1, "\x24\x0D", kCommitPort1, 0x24, 2},
        {Op::Commit2, "\x02", kCommitPort2, 0x02, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "operation " << int(c.op) << " ignoring " << c.ignored.toHex().constData());
        startCase(c.ignored);
        CommandFailure failure;
        EXPECT_FALSE(write(c.op, &failure));
        EXPECT_EQ(sent(), c.codes);
        EXPECT_TRUE(failure.failed);
        EXPECT_EQ(failure.code, c.firstFailed);
        EXPECT_EQ(failure.result, ResNoReply);
        EXPECT_EQ(failure.text, kNoReply);
        EXPECT_EQ(op.asked.size(), c.questions);
        EXPECT_TRUE(cursorOnForEveryCommand());
    }
}

TEST_F(Groups, NetworkWriteByAddressAssignment)
{
    NetConfig net;
    net.ip_adr = {192, 168, 1, 200};
    net.net_mask = {255, 255, 255, 0};
    net.gateway = {192, 168, 1, 1};
    struct Case {
        quint8 ipPrz;
        Codes codes;
    };
    const Case cases[] = {
        {0, Codes{0x11, 0x12, 0x13, 0x33} + kCommitNone},
        {1, Codes{0x33} + kCommitNone},
        // The mode was never chosen: it is not sent, and the commit still runs.
        {255, kCommitNone},
    };
    for (const Case& c : cases) {
        startCase();
        net.ip_prz = c.ipPrz;
        CommandFailure failure;
        EXPECT_TRUE(WriteNetConfig(ctx, net, &failure)) << int(c.ipPrz);
        EXPECT_FALSE(failure.failed) << int(c.ipPrz);
        EXPECT_EQ(sent(), c.codes) << int(c.ipPrz);
    }
    const SimDeviceState state = sim.state();
    EXPECT_EQ(state.saved.ipPrz, 1) << "the mode of the write before stays";
    EXPECT_EQ(state.saved.ip, net.ip_adr);
    EXPECT_EQ(state.saved.mask, net.net_mask);
    EXPECT_EQ(state.saved.gateway, net.gateway);
}

TEST_F(Groups, NetworkReadMarksTheModeUnknownAndStopsAtAFailure)
{
    SimDeviceState state = sim.state();
    state.params.ip = {10, 0, 0, 5};
    state.params.mask = {255, 0, 0, 0};
    state.params.gateway = {10, 0, 0, 1};
    sim.setState(state);
    NetConfig net{};
    ASSERT_TRUE(ReadNetConfig(ctx, net));
    EXPECT_EQ(net.ip_prz, 255);
    EXPECT_EQ(net.ip_adr, state.params.ip);
    EXPECT_EQ(net.net_mask, state.params.mask);
    EXPECT_EQ(net.gateway, state.params.gateway);
    EXPECT_EQ(sent(), (Codes{0x61, 0x62, 0x63}));

    startCase("\x62");
    NetConfig partial{};
    EXPECT_FALSE(ReadNetConfig(ctx, partial));
    EXPECT_EQ(sent(), (Codes{0x61, 0x62}));
    EXPECT_EQ(partial.gateway, (IpAddress{0, 0, 0, 0}));
}

TEST_F(Groups, OnlyPortsOneAndTwoExist)
{
    PortConfig p;
    CommandFailure failure{true, 0x11, ResNoReply, kNoReply};
    EXPECT_FALSE(ReadPortConfig(ctx, 0, p));
    EXPECT_FALSE(WritePortConfig(ctx, 3, p, &failure));
    EXPECT_FALSE(failure.failed) << "no command was sent, so none failed";
    EXPECT_TRUE(sent().empty());
}

TEST_F(Groups, WholeDeviceGoesGroupByGroupAndStopsAtAFailedGroup)
{
    const Codes readNet = {0x61, 0x62, 0x63};
    const Codes readPort1 = {0x60, 0x64, 0x65, 0x66, 0x71, 0x72, 0x73};
    const Codes readPort2 = {0x90, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96};
    struct Case {
        QByteArray ignored;
        bool result;
        Codes codes;
    };
    const Case cases[] = {
        {"", true, readNet + readPort1 + readPort2},
        {"\x63", false, readNet},
        {"\x60", false, readNet + Codes{0x60}},
        {"\x96", false, readNet + readPort1 + readPort2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "ignoring " << c.ignored.toHex().constData());
        startCase(c.ignored);
        DeviceConfig cfg;
        cfg.is_port2 = 1; // a read starts from a clean record
        EXPECT_EQ(ReadDeviceConfig(ctx, cfg), c.result);
        EXPECT_EQ(sent(), c.codes);
        EXPECT_EQ(cfg.box_vers, kSupportedVersion);
        EXPECT_EQ(cfg.is_port2, 0);
        EXPECT_EQ(cfg.net.ip_prz, 255);
        EXPECT_TRUE(cursorOnForEveryCommand());
        // A read stops at its first failure: the last command sent is the one that failed.
        if (!c.result) {
            EXPECT_EQ(ctx.lastCommand, c.codes.back());
            EXPECT_EQ(ctx.resultCode, ResNoReply);
        }
    }

    // A device read and written back compares equal when read again.
    startCase();
    DeviceConfig first;
    ASSERT_TRUE(ReadDeviceConfig(ctx, first));
    first.net.ip_prz = 1;
    first.ports[0] = samplePort(1);
    ASSERT_TRUE(WriteDeviceConfig(ctx, first));
    DeviceConfig again;
    ASSERT_TRUE(ReadDeviceConfig(ctx, again));
    first.net.ip_prz = 255;
    EXPECT_EQ(again, first);

    // A network write that was not wholly acknowledged, its save included, writes no port.
    first.net.ip_prz = 1;
    for (const QByteArray& ignored : {QByteArray("\x33"), QByteArray("\x0D")}) {
        SCOPED_TRACE(testing::Message() << "ignoring " << ignored.toHex().constData());
        startCase(ignored);
        CommandFailure failure;
        EXPECT_FALSE(WriteDeviceConfig(ctx, first, &failure));
        EXPECT_EQ(sent(), Codes{0x33} + kCommitNone);
        EXPECT_EQ(failure.code, quint8(ignored[0]));
        EXPECT_TRUE(cursorOnForEveryCommand());
    }
}

namespace
{

// What a record is written as, and what a device that kept some old values reports back:
// each difference as "key: written | read".
QStringList differencesOf(const WriteCheck& check)
{
    QStringList out;
    for (const FieldDifference& d : check.differences)
        out << QStringLiteral("%1: %2 | %3").arg(d.key, d.first, d.second);
    return out;
}

// A record that differs from the simulated device's defaults in every field: manual
// addresses, port 1 a TCP client, port 2 a UDP server whose remote fields are set all the same.
DeviceConfig recordToWrite()
{
    DeviceConfig r;
    MakeEmptyConfig(r);
    SetBoxName(r, QStringLiteral("Стенд")); // the serial link carries no name
    r.net.ip_prz = 0;
    r.net.ip_adr = {192, 168, 1, 100};
    r.net.net_mask = {255, 255, 255, 0};
    r.net.gateway = {192, 168, 1, 1};
    r.ports[0] = {1, 502, {10, 0, 0, 5}, 8080, 115200, {2, 1, 7}, 20};
    r.ports[1] = {2, 503, {10, 0, 0, 6}, 9090, 57600, {1, 0, 7}, 40};
    return r;
}

} // namespace

// After a write the group is read back and compared with what was written, over the fields the
// write sent: a field the device kept is listed with both values; a field the write does not
// send (the remote fields of a server mode, the addresses of an automatic assignment) or the
// serial link cannot read (the name, the port 2 switch, the assignment) is not compared.
TEST_F(Groups, ReadBackComparesWhatTheWriteSent)
{
    enum Group { Net, Port1, Port2, Device };
    struct Case {
        const char* name;
        Group group;
        const char* dropped; // the field the device keeps on write
        quint8 ipPrz;
        QStringList differences;
    };
    const Case cases[] = {
        {"port 1 kept", Port1, "", 0, {}},
        {"port 1 rate dropped", Port1, "port1.rate", 0, {"port1.rate: 115200 | 9600"}},
        {"port 1 remote address dropped",
         Port1,
         "port1.remote_ip_adr",
         0,
         {"port1.remote_ip_adr: 10.0.0.5 | 0.0.0.0"}},
        {"port 2 in a server mode", Port2, "", 0, {}},
        {"port 2 remote port of a server mode", Port2, "port2.remote_port", 0, {}},
        {"port 2 parity dropped",
         Port2,
         "port2.port_sett[1]",
         0,
         {"port2.port_sett[1]: 0 (odd) | 4 (none)"}},
        {"network kept", Net, "", 0, {}},
        {"network gateway dropped", Net, "gateway", 0, {"gateway: 192.168.1.1 | 0.0.0.0"}},
        {"network by DHCP sends no addresses", Net, "ip_adr", 1, {}},
        {"device kept", Device, "", 0, {}},
        {"device port 1 time-out dropped",
         Device,
         "port1.timeout",
         0,
         {"port1.timeout: 20 (100 ms) | 1 (5 ms)"}},
        {"device mask dropped", Device, "net_mask", 0, {"net_mask: 255.255.255.0 | 0.0.0.0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimDeviceState fresh;
        fresh.dropField = QString::fromUtf8(c.dropped);
        sim.setState(fresh);
        startCase();
        DeviceConfig record = recordToWrite();
        record.net.ip_prz = c.ipPrz;

        WriteCheck check;
        switch (c.group) {
        case Net:
            ASSERT_TRUE(WriteNetConfig(ctx, record.net));
            check = ReadBackNetConfig(ctx, record.net);
            break;
        case Port1:
        case Port2:
            ASSERT_TRUE(WritePortConfig(ctx, int(c.group), record.ports[size_t(c.group - 1)]));
            check = ReadBackPortConfig(ctx, int(c.group), record.ports[size_t(c.group - 1)]);
            break;
        case Device:
            ASSERT_TRUE(WriteDeviceConfig(ctx, record));
            check = ReadBackDeviceConfig(ctx, record);
            break;
        }
        EXPECT_TRUE(check.readBack);
        EXPECT_EQ(differencesOf(check), c.differences);
        EXPECT_TRUE(op.asked.isEmpty());
    }
}

// A device that cannot be read back gives a check that was not read back, after the retry
// question; the device's restart is waited out by answering "Так" to it.
TEST_F(Groups, ReadBackThatFailsOrWaitsOutTheRestart)
{
    const PortConfig group = recordToWrite().ports[0];
    startCase("\x72");
    ASSERT_TRUE(WritePortConfig(ctx, 1, group));
    const WriteCheck silent = ReadBackPortConfig(ctx, 1, group);
    EXPECT_FALSE(silent.readBack);
    EXPECT_TRUE(silent.differences.isEmpty());
    EXPECT_EQ(ctx.lastCommand, 0x72) << "the command that failed";
    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].kind, MsgRetry);
    EXPECT_FALSE(ReadBackPortConfig(ctx, 3, group).readBack) << "no such port";

    // The restart's silence lasts ten attempts; the operator keeps saying "Так".
    startCase();
    SimSerialFaults restart;
    restart.restartSilenceMs = 3000;
    sim.setFaults(restart);
    ASSERT_TRUE(WritePortConfig(ctx, 1, group));
    for (int i = 0; i < 200; ++i)
        op.answer({true});
    const WriteCheck waited = ReadBackPortConfig(ctx, 1, group);
    EXPECT_TRUE(waited.readBack);
    EXPECT_TRUE(waited.differences.isEmpty());
    EXPECT_FALSE(op.asked.isEmpty()) << "the read-back met the restart";
}
