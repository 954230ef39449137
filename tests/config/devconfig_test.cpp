#include "config/cp1251.h"
#include "config/devconfig.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <new>

// The Ethernet block, the simulator and the byte comparison all rely on this exact layout.
static_assert(offsetof(DeviceConfig, Mac_addres) == 1);
static_assert(offsetof(DeviceConfig, box_name) == 7);
static_assert(offsetof(DeviceConfig, box_name_end) == 27);
static_assert(offsetof(DeviceConfig, is_port2) == 28);
static_assert(offsetof(DeviceConfig, net) == 29);
static_assert(offsetof(DeviceConfig, ports) == 42);
static_assert(offsetof(NetConfig, gateway) == 4 && offsetof(NetConfig, net_mask) == 8 &&
              offsetof(NetConfig, ip_prz) == 12);
static_assert(offsetof(PortConfig, port) == 1 && offsetof(PortConfig, remote_ip_adr) == 3 &&
              offsetof(PortConfig, remote_port) == 7 && offsetof(PortConfig, rate) == 9 &&
              offsetof(PortConfig, port_sett) == 13 && offsetof(PortConfig, timeout) == 16);

namespace
{

QByteArray bytesOf(const DeviceConfig& c)
{
    return QByteArray(reinterpret_cast<const char*>(&c), sizeof c);
}

template <typename T> void expectEveryByteCounts(const T& a)
{
    for (size_t i = 0; i < sizeof a; ++i) {
        T b = a;
        reinterpret_cast<unsigned char*>(&b)[i] ^= 0x01;
        EXPECT_FALSE(a == b) << "byte " << i;
        EXPECT_TRUE(a != b) << "byte " << i;
    }
    EXPECT_TRUE(a == T(a));
}

} // namespace

TEST(DeviceConfig, DeclaredRecordIsAllZeroWhateverTheMemoryHeld)
{
    alignas(DeviceConfig) unsigned char memory[sizeof(DeviceConfig)];
    std::memset(memory, 0xAA, sizeof memory);
    const DeviceConfig* c = new (memory) DeviceConfig;
    EXPECT_EQ(bytesOf(*c), QByteArray(sizeof *c, '\0'));
}

TEST(DeviceConfig, EmptyConfigHasItsDefaultsAndZeroElsewhere)
{
    DeviceConfig c;
    c.box_name[3] = 'x'; // leftovers must not survive
    c.ports[1].regim = 3;
    MakeEmptyConfig(c);

    QByteArray want(sizeof c, '\0');
    want[0] = 39;
    want[29 + 12] = char(255);
    for (int base : {42, 62}) {
        want[base + 9] = char(0x80); // 9600 = 0x2580, little-endian
        want[base + 10] = 0x25;
        want[base + 13] = 1;
        want[base + 14] = 4;
        want[base + 15] = 8;
        want[base + 16] = 1;
    }
    EXPECT_EQ(bytesOf(c), want);
    EXPECT_EQ(quint32(c.ports[0].rate), 9600u); // a copy: the record is packed
}

TEST(DeviceConfig, EqualityCoversEveryByte)
{
    DeviceConfig a;
    MakeEmptyConfig(a);
    expectEveryByteCounts(a);
    expectEveryByteCounts(a.net);
    expectEveryByteCounts(a.ports[0]);
}

TEST(DeviceConfig, BoxNameIsCutTerminatedAndLeavesNoLeftovers)
{
    DeviceConfig c;
    SetBoxNameBytes(c, QByteArray(30, 'A'));
    EXPECT_EQ(BoxNameBytes(c), QByteArray(20, 'A'));
    EXPECT_EQ(c.box_name_end, 0);

    // A shorter name after a longer one zeroes the rest, so equal names compare equal.
    SetBoxNameBytes(c, "ab");
    DeviceConfig fresh;
    SetBoxNameBytes(fresh, "ab");
    EXPECT_EQ(c, fresh);

    // Bytes after a zero are not text and are not kept.
    SetBoxNameBytes(c, QByteArray("ab\0cd", 5));
    EXPECT_EQ(c, fresh);

    const QString ukr = QStringLiteral("Стенд №1 їЇєЄґҐ");
    ASSERT_TRUE(SetBoxName(c, ukr));
    EXPECT_EQ(BoxName(c), ukr);
    EXPECT_EQ(BoxNameBytes(c), toCp1251(ukr));

    // A character Windows-1251 cannot hold is refused and nothing changes.
    const DeviceConfig before = c;
    EXPECT_FALSE(SetBoxName(c, QStringLiteral("名前")));
    EXPECT_EQ(c, before);
}

TEST(DeviceConfig, MacTextIsUpperCaseHexWithColons)
{
    DeviceConfig c;
    c.Mac_addres = {0x00, 0x1a, 0xB2, 0x0f, 0xff, 0x09};
    EXPECT_EQ(MacText(c), QStringLiteral("00:1A:B2:0F:FF:09"));
}

TEST(IpAddress, IntegerFormIsLittleEndianAndSigned)
{
    struct Case {
        IpAddress ip;
        qint32 value;
    };
    for (const Case& c : {Case{{192, 168, 1, 1}, 16885952}, Case{{255, 255, 255, 0}, 16777215},
                          Case{{192, 168, 1, 200}, -939415360}, Case{{255, 255, 255, 255}, -1},
                          Case{{0, 0, 0, 0}, 0}}) {
        EXPECT_EQ(AddressToInt(c.ip), c.value) << AddressText(c.ip).toStdString();
        EXPECT_EQ(IntToAddress(c.value), c.ip) << c.value;
    }
    EXPECT_EQ(AddressText({192, 168, 1, 200}), QStringLiteral("192.168.1.200"));
}
