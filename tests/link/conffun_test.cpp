#include "link/comportfunctions.h"
#include "link/conffun.h"
#include "link/qelbox.h"

#include "support/qt_printers.h"
#include "support/scripted_operator.h"
#include "support/sim_com.h"

#include <gtest/gtest.h>

namespace
{

constexpr int kSimCom = 7;

using Codes = std::vector<int>;

const Codes kCommitNone = {0x0D, 0x02};
const Codes kCommitPort1 = {0x17, 0x24, 0x26, 0x25, 0x0D, 0x02};
const Codes kCommitPort2 = {0x47, 0x49, 0x48, 0x0D, 0x02};

Codes operator+(Codes a, const Codes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

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
    }

    void ignore(QByteArray codes)
    {
        SimSerialFaults faults;
        faults.silentCodes = codes;
        sim.setFaults(faults);
    }

    Codes sent() const
    {
        Codes out;
        for (const SimFrame& f : sim.frames())
            out.push_back(f.code);
        return out;
    }

    QByteArray dataOf(int code) const
    {
        for (const SimFrame& f : sim.frames()) {
            if (f.code == code)
                return f.data;
        }
        return "<not sent>";
    }

    ScriptedOperator op;
    LinkContext ctx;
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
        sim.clearLog();
        EXPECT_TRUE(WritePortConfig(ctx, c.port, samplePort(c.regim)));
        EXPECT_EQ(sent(), c.codes) << "port " << c.port << " mode " << int(c.regim);
    }
    EXPECT_TRUE(op.asked.isEmpty());
    EXPECT_EQ(op.busyDepth, 0);
    EXPECT_GT(op.busyOnCount, 0);
}

TEST_F(Groups, PortWriteLandsInTheDeviceLittleEndian)
{
    ASSERT_TRUE(WritePortConfig(ctx, 1, samplePort(1)));
    EXPECT_EQ(dataOf(0x14), QByteArray("\x50\xC3", 2));
    EXPECT_EQ(dataOf(0x15), QByteArray("\xC0\xA8\x01\x14", 4));
    EXPECT_EQ(dataOf(0x21), QByteArray("\x00\xC2\x01\x00", 4));
    EXPECT_EQ(dataOf(0x22), QByteArray("\x02\x01\x07", 3));
    EXPECT_EQ(dataOf(0x23), QByteArray("\xC8\x00\x00\x00", 4));
    EXPECT_EQ(dataOf(0x25), QByteArray("\x00\x04\x00\x00", 4));

    // Saved to EEPROM and restarted with it, with the commit's settings for port 1.
    const SimDeviceState state = sim.state();
    const SimPortParams& p = state.saved.ports[0];
    EXPECT_EQ(state.params, state.saved);
    EXPECT_EQ(p.regim, 1);
    EXPECT_EQ(p.port, 50000);
    EXPECT_EQ(p.remoteIp, (std::array<quint8, 4>{192, 168, 1, 20}));
    EXPECT_EQ(p.remotePort, 8080);
    EXPECT_EQ(p.rate, 115200u);
    EXPECT_EQ(p.timeout, 200u);
    EXPECT_EQ(p.packetLength, 1024u);
    EXPECT_EQ(p.randomEnable, 0);
    EXPECT_EQ(p.disconnectOnCable, 1);
    EXPECT_EQ(p.clearOnConnect, 1);
    EXPECT_GE(state.restarts, 1);
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

TEST_F(Groups, PortWriteStopsAtTheFirstFailure)
{
    struct Case {
        int port;
        char ignored;
        Codes codes;
    };
    const Case cases[] = {
        {1, 0x14, {0x10, 0x14}},
        {1, 0x23, {0x10, 0x14, 0x15, 0x16, 0x21, 0x22, 0x23}},
        // Port 2 is switched on after its time-out command whatever that command's outcome.
        {2, 0x46, {0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x39}},
        {2, 0x45, {0x40, 0x41, 0x42, 0x43, 0x44, 0x45}},
    };
    for (const Case& c : cases) {
        sim.clearLog();
        ignore(QByteArray(1, c.ignored));
        op.asked.clear();
        EXPECT_FALSE(WritePortConfig(ctx, c.port, samplePort(1)));
        EXPECT_EQ(sent(), c.codes) << "ignored " << int(c.ignored);
        EXPECT_EQ(op.asked.size(), 1);
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
        sim.clearLog();
        net.ip_prz = c.ipPrz;
        EXPECT_TRUE(WriteNetConfig(ctx, net)) << int(c.ipPrz);
        EXPECT_EQ(sent(), c.codes) << int(c.ipPrz);
    }
    const SimDeviceState state = sim.state();
    EXPECT_EQ(state.saved.ipPrz, 1) << "the mode of the write before stays";
    EXPECT_EQ(state.saved.ip, net.ip_adr);
    EXPECT_EQ(state.saved.mask, net.net_mask);
    EXPECT_EQ(state.saved.gateway, net.gateway);
}

TEST_F(Groups, NetworkWriteFailures)
{
    NetConfig net;
    net.ip_prz = 0;
    struct Case {
        QByteArray ignored;
        Codes codes;
        bool result;
    };
    const Case cases[] = {
        {"\x11", {0x11}, false},                               // nothing else, no commit
        {"\x12", Codes{0x11, 0x12, 0x33} + kCommitNone, true}, // 0x13 skipped; 0x33's outcome
        {"\x33", Codes{0x11, 0x12, 0x13, 0x33} + kCommitNone, false},
        {"\x12\x33", Codes{0x11, 0x12, 0x33} + kCommitNone, false},
    };
    for (const Case& c : cases) {
        sim.clearLog();
        ignore(c.ignored);
        EXPECT_EQ(WriteNetConfig(ctx, net), c.result) << c.ignored.toHex().constData();
        EXPECT_EQ(sent(), c.codes) << c.ignored.toHex().constData();
    }
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

    sim.clearLog();
    ignore("\x62");
    NetConfig partial{};
    EXPECT_FALSE(ReadNetConfig(ctx, partial));
    EXPECT_EQ(sent(), (Codes{0x61, 0x62}));
    EXPECT_EQ(partial.gateway, (IpAddress{0, 0, 0, 0}));
}

TEST_F(Groups, CommitGoesOnPastFailuresAndReportsTheRestart)
{
    ignore("\x24\x0D");
    EXPECT_TRUE(CommitConfig(ctx, CommitWhich::Port1));
    EXPECT_EQ(sent(), kCommitPort1);
    EXPECT_EQ(op.asked.size(), 2) << "each failed command asked its own question";

    sim.clearLog();
    ignore("\x02");
    EXPECT_FALSE(CommitConfig(ctx, CommitWhich::Port2));
    EXPECT_EQ(sent(), kCommitPort2);
}

TEST_F(Groups, OnlyPortsOneAndTwoExist)
{
    PortConfig p;
    EXPECT_FALSE(ReadPortConfig(ctx, 0, p));
    EXPECT_FALSE(WritePortConfig(ctx, 3, p));
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
        sim.clearLog();
        ignore(c.ignored);
        DeviceConfig cfg;
        cfg.is_port2 = 1; // a read starts from a clean record
        EXPECT_EQ(ReadDeviceConfig(ctx, cfg), c.result) << c.ignored.toHex().constData();
        EXPECT_EQ(sent(), c.codes) << c.ignored.toHex().constData();
        EXPECT_EQ(cfg.box_vers, kSupportedVersion);
        EXPECT_EQ(cfg.is_port2, 0);
        EXPECT_EQ(cfg.net.ip_prz, 255);
    }

    // A device read and written back compares equal when read again.
    ignore("");
    DeviceConfig first;
    ASSERT_TRUE(ReadDeviceConfig(ctx, first));
    first.net.ip_prz = 1;
    first.ports[0] = samplePort(1);
    ASSERT_TRUE(WriteDeviceConfig(ctx, first));
    DeviceConfig again;
    ASSERT_TRUE(ReadDeviceConfig(ctx, again));
    first.net.ip_prz = 255;
    EXPECT_EQ(again, first);

    // A failed network write writes no port.
    first.net.ip_prz = 1;
    sim.clearLog();
    ignore("\x33");
    EXPECT_FALSE(WriteDeviceConfig(ctx, first));
    for (int code : sent())
        EXPECT_TRUE(code == 0x33 || code == 0x0D || code == 0x02) << code;
}
