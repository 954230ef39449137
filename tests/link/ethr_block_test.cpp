// The configuration block of the Ethernet protocol and the device record: where each field
// lies, and that a write carries the bytes the record has no field for back unchanged.

#include "link/ethr_conffun.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

// A record with a distinct value in every field.
DeviceConfig sampleRecord()
{
    DeviceConfig r;
    r.box_vers = kSupportedVersion;
    SetBoxNameBytes(r, "Stand 1");
    r.is_port2 = 1;
    r.net.ip_adr = {192, 168, 1, 200};
    r.net.gateway = {192, 168, 1, 1};
    r.net.net_mask = {255, 255, 255, 0};
    r.net.ip_prz = 0;
    r.ports[0] = {1, 0x1234, {10, 0, 0, 1}, 0x5678, 115200, {2, 1, 7}, 200};
    r.ports[1] = {3, 0x2345, {10, 0, 0, 2}, 0x6789, 9600, {1, 4, 8}, 17};
    return r;
}

// Where the bytes of sampleRecord() lie in the block.
struct Placed {
    int at;
    std::vector<int> bytes;
};
const Placed kLayout[] = {
    {35, {'S', 't', 'a', 'n', 'd', ' ', '1', 0}},
    {55, {0}},
    {62, {192, 168, 1, 200}},  // address
    {66, {192, 168, 1, 1}},    // gateway
    {70, {255, 255, 255, 0}},  // mask
    {74, {0}},                 // ip_prz
    {105, {1}},                // is_port2
    {106, {3}},                // port 2: mode
    {108, {0x45, 0x23}},       // local port
    {110, {10, 0, 0, 2}},      // remote address
    {114, {0x89, 0x67}},       // remote port
    {116, {0x80, 0x25, 0, 0}}, // rate 9600
    {120, {8, 1, 4}},          // data bits, stop bits, parity
    {128, {17}},               // time-out
    {171, {1}},                // port 1: mode
    {173, {0x34, 0x12}},       // local port
    {175, {10, 0, 0, 1}},      // remote address
    {179, {0x78, 0x56}},       // remote port
    {181, {0x00, 0xC2, 1, 0}}, // rate 115200
    {185, {7, 2, 1}},          // data bits, stop bits, parity
    {193, {200}},              // time-out
};

// A block as a device might report it: every byte distinct from its neighbours.
ConfigBlock deviceBlock()
{
    ConfigBlock b{};
    for (size_t i = 0; i < b.size(); ++i)
        b[i] = quint8(0x40 + i * 7);
    return b;
}

TEST(EthernetBlock, EveryFieldHasItsPlace)
{
    ConfigBlock block = deviceBlock();
    RecordToBlock(block, sampleRecord());
    std::vector<bool> mapped(block.size(), false);
    for (const Placed& p : kLayout) {
        for (size_t k = 0; k < p.bytes.size(); ++k) {
            EXPECT_EQ(block[size_t(p.at) + k], quint8(p.bytes[k])) << "byte " << p.at + int(k);
            mapped[size_t(p.at) + k] = true;
        }
    }
    // The rest of the name (zero after its text) belongs to it too.
    for (int i = 35; i < 55; ++i)
        mapped[size_t(i)] = true;
    const ConfigBlock before = deviceBlock();
    for (size_t i = 0; i < block.size(); ++i) {
        if (!mapped[i]) {
            EXPECT_EQ(block[i], before[i]) << "byte " << i << " has no field and stays";
        }
    }

    DeviceConfig back;
    BlockToRecord(block, back);
    EXPECT_TRUE(back == sampleRecord());
}

// A record read from a block, written back into the same block, changes no byte: what the
// device reported without a field in the record goes back exactly (byte 107, say).
TEST(EthernetBlock, ReadThenWriteGivesTheBlockBack)
{
    ConfigBlock block = deviceBlock();
    block[55] = 0; // written as zero
    DeviceConfig record;
    BlockToRecord(block, record);
    EXPECT_EQ(record.box_vers, kSupportedVersion) << "not taken from the block";
    EXPECT_EQ(record.Mac_addres, (std::array<quint8, 6>{})) << "left to the caller";
    EXPECT_EQ(quint32(record.ports[0].timeout), block[193]) << "one byte, upper bytes zero";
    ConfigBlock written = block;
    RecordToBlock(written, record);
    EXPECT_EQ(written, block);
}

TEST(EthernetBlock, ANameWithoutTerminatorIsCutTo20)
{
    ConfigBlock block{};
    for (int i = 35; i < 60; ++i)
        block[size_t(i)] = 'A'; // the name runs into the bytes after it
    DeviceConfig record;
    BlockToRecord(block, record);
    EXPECT_EQ(BoxNameBytes(record), QByteArray(20, 'A'));
    EXPECT_EQ(record.box_name_end, 0);
}

} // namespace
