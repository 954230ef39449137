// The rules by which the editors take a network or port group from the operator's input.

#include "config/group_input.h"
#include "config/rates.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace
{

using Kind = InputRefusal::Kind;
using Refusal = std::optional<InputRefusal>;

constexpr qint64 kLargest = std::numeric_limits<qint64>::max();

const char* FieldName(InputField field)
{
    static const char* const names[] = {"Mode",   "Ip",         "Mask",     "Gateway", "Regim",
                                        "Port",   "RemotePort", "RemoteIp", "Rate",    "StopBits",
                                        "Parity", "DataBits",   "Timeout"};
    return names[int(field)];
}

// A refusal as one line, so that a mismatch shows every part of both sides.
std::string Describe(const Refusal& r)
{
    if (!r)
        return "accepted";
    static const char* const kinds[] = {"NoMode", "Incomplete", "NotANumber", "OutOfRange",
                                        "TimeoutRange"};
    return std::string(kinds[r->kind]) + " " + FieldName(r->field) + "[" +
           std::to_string(r->octet) + "] \"" + r->text.toStdString() + "\"";
}

Refusal Refused(Kind kind, InputField field, int octet = 0, const QString& text = QString())
{
    return InputRefusal{kind, field, octet, text};
}

std::array<QString, 4> Octets(const char* a, const char* b, const char* c, const char* d)
{
    return {a, b, c, d};
}

// ---------------------------------------------------------------------------------------
// ParseWholeNumber

TEST(GroupInputNumber, OnlyAnOptionalMinusAndDigits)
{
    const struct {
        QString text;
        std::optional<qint64> value;
    } cases[] = {
        {"0", 0},
        {"255", 255},
        {"-1", -1},
        {"-0", 0},
        {"007", 7},
        {"65536", 65536},
        {"9223372036854775807", kLargest},
        {"9223372036854775808", kLargest},
        {"123456789012345678901234567890", kLargest},
        {"-123456789012345678901234567890", -kLargest},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"--1", std::nullopt},
        {" 5", std::nullopt},
        {"5 ", std::nullopt},
        {"+5", std::nullopt},
        {"1%", std::nullopt},
        {"1'0", std::nullopt},
        {"x7", std::nullopt},
        {"1-", std::nullopt},
        {"1.0", std::nullopt},
        {"0x10", std::nullopt},
        {QStringLiteral("\u0661"), std::nullopt}, // an Arabic-Indic digit one
        {QStringLiteral("\uFF15"), std::nullopt}, // a full-width five
        {"123456789012345678901234567890x", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseWholeNumber(c.text), c.value) << c.text.toStdString();
}

// ---------------------------------------------------------------------------------------
// The network group

// The twelve octet fields, in the order they are checked: column by column, and in each the
// address, the mask and the gateway.
struct NetPlace {
    InputField field;
    int octet;
};

std::vector<NetPlace> NetPlacesInOrder()
{
    std::vector<NetPlace> places;
    for (int octet = 0; octet < 4; ++octet) {
        for (InputField f : {InputField::Ip, InputField::Mask, InputField::Gateway})
            places.push_back({f, octet});
    }
    return places;
}

std::string Name(const NetPlace& p)
{
    return FieldName(p.field) + ("[" + std::to_string(p.octet) + "]");
}

QString& At(NetInput& in, const NetPlace& p)
{
    auto& row = p.field == InputField::Ip     ? in.ip
                : p.field == InputField::Mask ? in.mask
                                              : in.gateway;
    return row[size_t(p.octet)];
}

// Manual input whose three rows hold different numbers, so a row taken for another shows.
NetInput ManualInput()
{
    NetInput in;
    in.mode = 0;
    in.ip = Octets("192", "168", "1", "200");
    in.mask = Octets("255", "255", "255", "0");
    in.gateway = Octets("192", "168", "1", "1");
    return in;
}

// A group that differs from what ManualInput stores everywhere.
NetConfig OldNet()
{
    NetConfig net;
    net.ip_adr = {10, 0, 0, 7};
    net.net_mask = {255, 0, 0, 0};
    net.gateway = {10, 0, 0, 1};
    net.ip_prz = 255;
    return net;
}

void ExpectNetRefused(const NetInput& in, const Refusal& want, const std::string& what)
{
    NetConfig net = OldNet();
    EXPECT_EQ(Describe(TakeNetInput(in, net)), Describe(want)) << what;
    EXPECT_TRUE(net == OldNet()) << what << ": a refused group must stay as it was";
}

TEST(GroupInputNet, AModeOtherThanManualOrAutomaticIsNoMode)
{
    for (int mode : {-1, 2, 255, 256, std::numeric_limits<int>::min()}) {
        NetInput complete = ManualInput();
        complete.mode = mode;
        ExpectNetRefused(complete, Refused(Kind::NoMode, InputField::Mode),
                         "mode " + std::to_string(mode));
        NetInput empty;
        empty.mode = mode;
        ExpectNetRefused(empty, Refused(Kind::NoMode, InputField::Mode),
                         "mode " + std::to_string(mode) + ", empty fields");
    }
}

TEST(GroupInputNet, ManualModeRefusesTheFirstEmptyOctetInColumnOrder)
{
    const std::vector<NetPlace> places = NetPlacesInOrder();
    for (size_t first = 0; first < places.size(); ++first) {
        NetInput in = ManualInput();
        At(in, places[first]).clear();
        const Refusal want = Refused(Kind::Incomplete, places[first].field, places[first].octet);
        ExpectNetRefused(in, want, "empty " + Name(places[first]));

        // Every later empty field, and every bad number anywhere, leaves the first empty one
        // decisive.
        for (size_t later = first + 1; later < places.size(); ++later) {
            NetInput two = in;
            At(two, places[later]).clear();
            ExpectNetRefused(two, want,
                             "empty " + Name(places[first]) + " and " + Name(places[later]));
        }
        for (size_t other = 0; other < places.size(); ++other) {
            if (other == first)
                continue;
            NetInput bad = in;
            At(bad, places[other]) = other % 2 ? "x" : "300";
            ExpectNetRefused(bad, want,
                             "empty " + Name(places[first]) + ", bad " + Name(places[other]));
        }
    }
}

TEST(GroupInputNet, ManualModeRefusesTheFirstBadOctetInColumnOrder)
{
    const std::vector<NetPlace> places = NetPlacesInOrder();
    const struct {
        QString text;
        Kind kind;
    } bad[] = {
        {"300", Kind::OutOfRange}, {"256", Kind::OutOfRange},
        {"-1", Kind::OutOfRange},  {"99999999999999999999999999", Kind::OutOfRange},
        {"1%", Kind::NotANumber},  {"1'0", Kind::NotANumber},
        {" 1", Kind::NotANumber},  {"-", Kind::NotANumber},
    };
    for (size_t first = 0; first < places.size(); ++first) {
        for (const auto& b : bad) {
            NetInput in = ManualInput();
            At(in, places[first]) = b.text;
            const Refusal want = Refused(b.kind, places[first].field, places[first].octet, b.text);
            ExpectNetRefused(in, want, Name(places[first]) + " " + b.text.toStdString());
        }
        // A later bad field of the other kind does not take its place.
        for (size_t later = first + 1; later < places.size(); ++later) {
            NetInput in = ManualInput();
            At(in, places[first]) = "300";
            At(in, places[later]) = "x";
            ExpectNetRefused(
                in, Refused(Kind::OutOfRange, places[first].field, places[first].octet, "300"),
                Name(places[first]) + " before " + Name(places[later]));
            At(in, places[first]) = "x";
            At(in, places[later]) = "300";
            ExpectNetRefused(
                in, Refused(Kind::NotANumber, places[first].field, places[first].octet, "x"),
                Name(places[first]) + " before " + Name(places[later]));
        }
    }
}

TEST(GroupInputNet, ManualModeStoresTheThreeAddresses)
{
    NetConfig net = OldNet();
    ASSERT_EQ(Describe(TakeNetInput(ManualInput(), net)), "accepted");
    NetConfig want;
    want.ip_adr = {192, 168, 1, 200};
    want.net_mask = {255, 255, 255, 0};
    want.gateway = {192, 168, 1, 1};
    want.ip_prz = 0;
    EXPECT_TRUE(net == want);

    NetInput bounds;
    bounds.mode = 0;
    bounds.ip = Octets("0", "255", "007", "00");
    bounds.mask = Octets("255", "0", "-0", "128");
    bounds.gateway = Octets("1", "2", "3", "4");
    ASSERT_EQ(Describe(TakeNetInput(bounds, net)), "accepted");
    EXPECT_EQ(net.ip_adr, (IpAddress{0, 255, 7, 0}));
    EXPECT_EQ(net.net_mask, (IpAddress{255, 0, 0, 128}));
    EXPECT_EQ(net.gateway, (IpAddress{1, 2, 3, 4}));
    EXPECT_EQ(net.ip_prz, 0);
}

TEST(GroupInputNet, AutomaticModeIgnoresTheOctetFields)
{
    NetInput empty;
    empty.mode = 1;
    NetInput bad = ManualInput();
    bad.mode = 1;
    bad.ip = Octets("300", "x", "", "-1");
    NetInput good = ManualInput();
    good.mode = 1;
    for (const NetInput& in : {empty, bad, good}) {
        NetConfig net = OldNet();
        ASSERT_EQ(Describe(TakeNetInput(in, net)), "accepted");
        NetConfig want = OldNet();
        want.ip_prz = 1;
        EXPECT_TRUE(net == want) << "the addresses are kept";
    }
}

TEST(GroupInputNet, ControlsShowTheGroup)
{
    NetConfig net = OldNet();
    const struct {
        quint8 prz;
        int mode;
    } modes[] = {{0, 0}, {1, 1}, {2, -1}, {255, -1}};
    for (const auto& m : modes) {
        net.ip_prz = m.prz;
        EXPECT_EQ(NetInputFrom(net).mode, m.mode) << "ip_prz " << int(m.prz);
    }
    const NetInput in = NetInputFrom(net);
    EXPECT_EQ(in.ip, Octets("10", "0", "0", "7"));
    EXPECT_EQ(in.mask, Octets("255", "0", "0", "0"));
    EXPECT_EQ(in.gateway, Octets("10", "0", "0", "1"));
}

TEST(GroupInputNet, RoundTrip)
{
    NetConfig manual = OldNet();
    manual.ip_prz = 0;
    NetConfig back;
    ASSERT_EQ(Describe(TakeNetInput(NetInputFrom(manual), back)), "accepted");
    EXPECT_TRUE(back == manual);

    NetConfig automatic = manual;
    automatic.ip_prz = 1;
    NetConfig target;
    target.gateway = {1, 2, 3, 4};
    ASSERT_EQ(Describe(TakeNetInput(NetInputFrom(automatic), target)), "accepted");
    NetConfig want;
    want.gateway = {1, 2, 3, 4};
    want.ip_prz = 1;
    EXPECT_TRUE(target == want) << "automatic mode keeps the target's addresses";
}

// ---------------------------------------------------------------------------------------
// A port group

// A complete TCP client input; its remote values differ from those of OldPort.
PortInput ClientInput()
{
    PortInput in;
    in.regim = 1;
    in.port = "5000";
    in.remotePort = "6001";
    in.remoteIp = Octets("192", "168", "0", "77");
    in.rate = 15; // 19200
    in.stopBits = 2;
    in.parity = 1;
    in.dataBits = 0;
    in.timeout = "40";
    return in;
}

PortInput ServerInput(int regim)
{
    PortInput in = ClientInput();
    in.regim = regim;
    in.remotePort.clear();
    in.remoteIp = {};
    return in;
}

// A group unlike anything the tests store, to show what is kept and what is replaced.
PortConfig OldPort()
{
    PortConfig g;
    g.regim = 3;
    g.port = 1111;
    g.remote_ip_adr = {10, 9, 8, 7};
    g.remote_port = 2222;
    g.rate = 115200;
    g.port_sett = {3, 4, 8};
    g.timeout = 99;
    return g;
}

struct PortRefusedCase {
    const char* name;
    std::function<void(PortInput&)> change; // made to ClientInput()
    Refusal want;
};

TEST(GroupInputPort, RefusesTheFirstFailingCheck)
{
    using F = InputField;
    const PortRefusedCase cases[] = {
        // Lists without a choice, including an index past the list's end.
        {"NoMode", [](PortInput& in) { in.regim = -1; }, Refused(Kind::Incomplete, F::Regim)},
        {"Mode4", [](PortInput& in) { in.regim = 4; }, Refused(Kind::Incomplete, F::Regim)},
        {"NoRate", [](PortInput& in) { in.rate = -1; }, Refused(Kind::Incomplete, F::Rate)},
        {"Rate22", [](PortInput& in) { in.rate = 22; }, Refused(Kind::Incomplete, F::Rate)},
        {"NoStopBits", [](PortInput& in) { in.stopBits = -1; },
         Refused(Kind::Incomplete, F::StopBits)},
        {"StopBits4", [](PortInput& in) { in.stopBits = 4; },
         Refused(Kind::Incomplete, F::StopBits)},
        {"NoParity", [](PortInput& in) { in.parity = -1; }, Refused(Kind::Incomplete, F::Parity)},
        {"Parity5", [](PortInput& in) { in.parity = 5; }, Refused(Kind::Incomplete, F::Parity)},
        {"NoDataBits", [](PortInput& in) { in.dataBits = -1; },
         Refused(Kind::Incomplete, F::DataBits)},
        {"DataBits2", [](PortInput& in) { in.dataBits = 2; },
         Refused(Kind::Incomplete, F::DataBits)},
        {"EmptyPort", [](PortInput& in) { in.port.clear(); }, Refused(Kind::Incomplete, F::Port)},
        {"EmptyTimeout", [](PortInput& in) { in.timeout.clear(); },
         Refused(Kind::Incomplete, F::Timeout)},
        // The client's remote side must be filled.
        {"EmptyRemotePort", [](PortInput& in) { in.remotePort.clear(); },
         Refused(Kind::Incomplete, F::RemotePort)},
        {"EmptyRemoteOctet0", [](PortInput& in) { in.remoteIp[0].clear(); },
         Refused(Kind::Incomplete, F::RemoteIp, 0)},
        {"EmptyRemoteOctet3UdpClient",
         [](PortInput& in) {
             in.regim = 3;
             in.remoteIp[3].clear();
         },
         Refused(Kind::Incomplete, F::RemoteIp, 3)},
        // Every field is checked for being filled before any is read as a number.
        {"EmptyTimeoutBeforeRemoteFields",
         [](PortInput& in) {
             in.timeout.clear();
             in.remotePort.clear();
             in.port = "x";
         },
         Refused(Kind::Incomplete, F::Timeout)},
        {"EmptyRemoteOctetBeforeBadNumbers",
         [](PortInput& in) {
             in.remotePort = "x";
             in.remoteIp[2].clear();
             in.port = "70000";
         },
         Refused(Kind::Incomplete, F::RemoteIp, 2)},
        // Numbers and their ranges: remote port, remote octets, local port, time-out.
        {"Port70000", [](PortInput& in) { in.port = "70000"; },
         Refused(Kind::OutOfRange, F::Port, 0, "70000")},
        {"Port65536", [](PortInput& in) { in.port = "65536"; },
         Refused(Kind::OutOfRange, F::Port, 0, "65536")},
        {"PortMinus1", [](PortInput& in) { in.port = "-1"; },
         Refused(Kind::OutOfRange, F::Port, 0, "-1")},
        {"PortHuge", [](PortInput& in) { in.port = "123456789012345678901234567890"; },
         Refused(Kind::OutOfRange, F::Port, 0, "123456789012345678901234567890")},
        {"PortPercent", [](PortInput& in) { in.port = "1%"; },
         Refused(Kind::NotANumber, F::Port, 0, "1%")},
        {"RemotePort65536", [](PortInput& in) { in.remotePort = "65536"; },
         Refused(Kind::OutOfRange, F::RemotePort, 0, "65536")},
        {"RemotePortLetters", [](PortInput& in) { in.remotePort = "x7"; },
         Refused(Kind::NotANumber, F::RemotePort, 0, "x7")},
        {"RemoteOctet256", [](PortInput& in) { in.remoteIp[1] = "256"; },
         Refused(Kind::OutOfRange, F::RemoteIp, 1, "256")},
        {"RemoteOctet3Minus1", [](PortInput& in) { in.remoteIp[3] = "-1"; },
         Refused(Kind::OutOfRange, F::RemoteIp, 3, "-1")},
        {"RemoteOctetApostrophe", [](PortInput& in) { in.remoteIp[0] = "1'0"; },
         Refused(Kind::NotANumber, F::RemoteIp, 0, "1'0")},
        {"Timeout256", [](PortInput& in) { in.timeout = "256"; },
         Refused(Kind::TimeoutRange, F::Timeout, 0, "256")},
        {"TimeoutMinus1", [](PortInput& in) { in.timeout = "-1"; },
         Refused(Kind::TimeoutRange, F::Timeout, 0, "-1")},
        {"TimeoutPercent", [](PortInput& in) { in.timeout = "1%"; },
         Refused(Kind::NotANumber, F::Timeout, 0, "1%")},
        {"RemotePortBeforeRemoteOctet",
         [](PortInput& in) {
             in.remotePort = "65536";
             in.remoteIp[0] = "x";
         },
         Refused(Kind::OutOfRange, F::RemotePort, 0, "65536")},
        {"FirstBadRemoteOctet",
         [](PortInput& in) {
             in.remoteIp[1] = "x";
             in.remoteIp[2] = "300";
         },
         Refused(Kind::NotANumber, F::RemoteIp, 1, "x")},
        {"RemoteOctetBeforeLocalPort",
         [](PortInput& in) {
             in.remoteIp[3] = "300";
             in.port = "x";
         },
         Refused(Kind::OutOfRange, F::RemoteIp, 3, "300")},
        {"LocalPortBeforeTimeout",
         [](PortInput& in) {
             in.port = "70000";
             in.timeout = "x";
         },
         Refused(Kind::OutOfRange, F::Port, 0, "70000")},
        // A server has no remote side: its fields are not read, whatever they hold.
        {"TcpServerBadRemoteThenBadPort",
         [](PortInput& in) {
             in.regim = 0;
             in.remotePort = "x";
             in.remoteIp[0] = "300";
             in.port = "65536";
         },
         Refused(Kind::OutOfRange, F::Port, 0, "65536")},
        {"UdpServerEmptyRemoteThenBadTimeout",
         [](PortInput& in) {
             in.regim = 2;
             in.remotePort.clear();
             in.remoteIp = {};
             in.timeout = "256";
         },
         Refused(Kind::TimeoutRange, F::Timeout, 0, "256")},
    };
    for (const PortRefusedCase& c : cases) {
        PortInput in = ClientInput();
        c.change(in);
        PortConfig group = OldPort();
        EXPECT_EQ(Describe(TakePortInput(in, group)), Describe(c.want)) << c.name;
        EXPECT_TRUE(group == OldPort()) << c.name << ": a refused group must stay as it was";
    }
}

// Filling an empty form in the order of its controls: each step is refused on the next one.
TEST(GroupInputPort, EmptyControlsAreNamedInTheOrderOfTheForm)
{
    using F = InputField;
    const struct {
        F missing;
        int octet;
        std::function<void(PortInput&)> fill;
    } steps[] = {
        {F::Regim, 0, [](PortInput& in) { in.regim = 3; }},
        {F::Port, 0, [](PortInput& in) { in.port = "1"; }},
        {F::Rate, 0, [](PortInput& in) { in.rate = 0; }},
        {F::StopBits, 0, [](PortInput& in) { in.stopBits = 0; }},
        {F::Parity, 0, [](PortInput& in) { in.parity = 0; }},
        {F::DataBits, 0, [](PortInput& in) { in.dataBits = 0; }},
        {F::Timeout, 0, [](PortInput& in) { in.timeout = "0"; }},
        {F::RemotePort, 0, [](PortInput& in) { in.remotePort = "0"; }},
        {F::RemoteIp, 0, [](PortInput& in) { in.remoteIp[0] = "0"; }},
        {F::RemoteIp, 1, [](PortInput& in) { in.remoteIp[1] = "0"; }},
        {F::RemoteIp, 2, [](PortInput& in) { in.remoteIp[2] = "0"; }},
        {F::RemoteIp, 3, [](PortInput& in) { in.remoteIp[3] = "0"; }},
    };
    PortInput in;
    for (const auto& s : steps) {
        PortConfig group = OldPort();
        EXPECT_EQ(Describe(TakePortInput(in, group)),
                  Describe(Refused(Kind::Incomplete, s.missing, s.octet)));
        EXPECT_TRUE(group == OldPort());
        s.fill(in);
    }
    PortConfig group = OldPort();
    EXPECT_EQ(Describe(TakePortInput(in, group)), "accepted");
}

struct PortStoredCase {
    const char* name;
    std::function<void(PortInput&)> change; // made to ClientInput()
    std::function<void(PortConfig&)> want;  // made to the group ClientInput() stores
};

TEST(GroupInputPort, StoresTheGroup)
{
    // What ClientInput() stores into OldPort(): every byte replaced.
    PortConfig client;
    client.regim = 1;
    client.port = 5000;
    client.remote_ip_adr = {192, 168, 0, 77};
    client.remote_port = 6001;
    client.rate = 19200;
    client.port_sett = {2, 1, 7};
    client.timeout = 40;

    const auto keepRemote = [](PortConfig& g) {
        g.remote_ip_adr = OldPort().remote_ip_adr;
        g.remote_port = OldPort().remote_port;
    };
    const PortStoredCase cases[] = {
        {"TcpClient", [](PortInput&) {}, [](PortConfig&) {}},
        {"UdpClient", [](PortInput& in) { in.regim = 3; }, [](PortConfig& g) { g.regim = 3; }},
        {"TcpServerEmptyRemoteKept", [](PortInput& in) { in = ServerInput(0); },
         [&](PortConfig& g) {
             g.regim = 0;
             keepRemote(g);
         }},
        {"UdpServerBadRemoteKept",
         [](PortInput& in) {
             in.regim = 2;
             in.remotePort = "70000";
             in.remoteIp = Octets("x", "", "256", "-1");
         },
         [&](PortConfig& g) {
             g.regim = 2;
             keepRemote(g);
         }},
        {"PortBounds",
         [](PortInput& in) {
             in.port = "65535";
             in.remotePort = "0";
         },
         [](PortConfig& g) {
             g.port = 65535;
             g.remote_port = 0;
         }},
        {"PortZeroRemote65535",
         [](PortInput& in) {
             in.port = "00";
             in.remotePort = "65535";
         },
         [](PortConfig& g) {
             g.port = 0;
             g.remote_port = 65535;
         }},
        {"RemoteOctetBounds", [](PortInput& in) { in.remoteIp = Octets("0", "255", "007", "-0"); },
         [](PortConfig& g) {
             g.remote_ip_adr = {0, 255, 7, 0};
         }},
        {"Timeout255", [](PortInput& in) { in.timeout = "255"; },
         [](PortConfig& g) { g.timeout = 255; }},
        {"Timeout0", [](PortInput& in) { in.timeout = "0"; }, [](PortConfig& g) { g.timeout = 0; }},
        {"EightDataBits", [](PortInput& in) { in.dataBits = 1; },
         [](PortConfig& g) { g.port_sett[2] = 8; }},
        {"FirstRate", [](PortInput& in) { in.rate = 0; }, [](PortConfig& g) { g.rate = 300; }},
        {"DefaultRate", [](PortInput& in) { in.rate = kDefaultRateIndex; },
         [](PortConfig& g) { g.rate = 9600; }},
        {"LastRate", [](PortInput& in) { in.rate = 21; }, [](PortConfig& g) { g.rate = 230400; }},
        {"LastCodes",
         [](PortInput& in) {
             in.stopBits = 3;
             in.parity = 4;
         },
         [](PortConfig& g) {
             g.port_sett = {3, 4, 7};
         }},
        {"FirstCodes",
         [](PortInput& in) {
             in.stopBits = 0;
             in.parity = 0;
         },
         [](PortConfig& g) {
             g.port_sett = {0, 0, 7};
         }},
    };
    for (const PortStoredCase& c : cases) {
        PortInput in = ClientInput();
        c.change(in);
        PortConfig group = OldPort();
        ASSERT_EQ(Describe(TakePortInput(in, group)), "accepted") << c.name;
        PortConfig want = client;
        c.want(want);
        EXPECT_TRUE(group == want) << c.name;
    }
}

TEST(GroupInputPort, EveryRateOfTheTable)
{
    for (int i = 0; i < int(kBaudRates.size()); ++i) {
        PortInput in = ClientInput();
        in.rate = i;
        PortConfig group;
        ASSERT_EQ(Describe(TakePortInput(in, group)), "accepted") << i;
        EXPECT_EQ(quint32(group.rate), quint32(kBaudRates[size_t(i)])) << i;
    }
}

TEST(GroupInputPort, ControlsShowTheGroup)
{
    const PortInput shown = PortInputFrom(OldPort());
    EXPECT_EQ(shown.regim, 3);
    EXPECT_EQ(shown.port, "1111");
    EXPECT_EQ(shown.remotePort, "2222");
    EXPECT_EQ(shown.remoteIp, Octets("10", "9", "8", "7"));
    EXPECT_EQ(shown.rate, 20);
    EXPECT_EQ(shown.stopBits, 3);
    EXPECT_EQ(shown.parity, 4);
    EXPECT_EQ(shown.dataBits, 1);
    EXPECT_EQ(shown.timeout, "99");

    // Codes the lists do not have show as no choice.
    const struct {
        const char* name;
        std::function<void(PortConfig&)> change;
        std::function<int(const PortInput&)> list;
        int index;
    } cases[] = {
        {"Regim4", [](PortConfig& g) { g.regim = 4; }, [](const PortInput& in) { return in.regim; },
         -1},
        {"Regim7", [](PortConfig& g) { g.regim = 7; }, [](const PortInput& in) { return in.regim; },
         -1},
        {"RateNotInTable", [](PortConfig& g) { g.rate = 250000; },
         [](const PortInput& in) { return in.rate; }, -1},
        {"RateZero", [](PortConfig& g) { g.rate = 0; }, [](const PortInput& in) { return in.rate; },
         -1},
        {"RateAboveInt", [](PortConfig& g) { g.rate = 0x80000000u + 9600; },
         [](const PortInput& in) { return in.rate; }, -1},
        {"FirstRate", [](PortConfig& g) { g.rate = 300; },
         [](const PortInput& in) { return in.rate; }, 0},
        {"StopBits4", [](PortConfig& g) { g.port_sett[0] = 4; },
         [](const PortInput& in) { return in.stopBits; }, -1},
        {"StopBits0", [](PortConfig& g) { g.port_sett[0] = 0; },
         [](const PortInput& in) { return in.stopBits; }, 0},
        {"Parity5", [](PortConfig& g) { g.port_sett[1] = 5; },
         [](const PortInput& in) { return in.parity; }, -1},
        {"DataBits7", [](PortConfig& g) { g.port_sett[2] = 7; },
         [](const PortInput& in) { return in.dataBits; }, 0},
        {"DataBits6", [](PortConfig& g) { g.port_sett[2] = 6; },
         [](const PortInput& in) { return in.dataBits; }, -1},
        {"DataBits1", [](PortConfig& g) { g.port_sett[2] = 1; },
         [](const PortInput& in) { return in.dataBits; }, -1},
        {"DataBits0", [](PortConfig& g) { g.port_sett[2] = 0; },
         [](const PortInput& in) { return in.dataBits; }, -1},
    };
    for (const auto& c : cases) {
        PortConfig g = OldPort();
        c.change(g);
        EXPECT_EQ(c.list(PortInputFrom(g)), c.index) << c.name;
    }

    PortConfig g = OldPort();
    g.timeout = 200;
    g.port = 65535;
    EXPECT_EQ(PortInputFrom(g).timeout, "200");
    EXPECT_EQ(PortInputFrom(g).port, "65535");
}

TEST(GroupInputPort, RoundTrip)
{
    PortConfig udpClient = OldPort();
    PortConfig tcpClient = OldPort();
    tcpClient.regim = 1;
    tcpClient.port = 0;
    tcpClient.remote_port = 65535;
    tcpClient.rate = 300;
    tcpClient.port_sett = {0, 0, 7};
    tcpClient.timeout = 255;
    for (const PortConfig& original : {udpClient, tcpClient}) {
        PortConfig back;
        ASSERT_EQ(Describe(TakePortInput(PortInputFrom(original), back)), "accepted");
        EXPECT_TRUE(back == original) << int(original.regim);
    }

    for (quint8 server : {0, 2}) {
        PortConfig original = OldPort();
        original.regim = server;
        PortConfig target;
        target.remote_ip_adr = {1, 2, 3, 4};
        target.remote_port = 5;
        ASSERT_EQ(Describe(TakePortInput(PortInputFrom(original), target)), "accepted");
        PortConfig want = original;
        want.remote_ip_adr = {1, 2, 3, 4};
        want.remote_port = 5;
        EXPECT_TRUE(target == want) << "a server keeps the target's remote values";
    }
}

} // namespace
