#pragma once
// The device over Ethernet: the link is opened with two connection commands and a version
// check, the whole configuration travels in one 285-byte block, and a write sends the block
// last read, overlaid with the record. The link context keeps the block, the record converted
// from it and the device's MAC while the link is open.

#include "config/devconfig.h"
#include "link/qelbox.h"

// The requests: the first ("CH9121_CFG_FLAG", 0x04) and the second ("NET_MODULE_COMM", 0x04)
// connection command, and the read of the configuration of the device with this MAC.
ConfigBlock FirstConnectRequest();
ConfigBlock SecondConnectRequest();
ConfigBlock ReadConfigRequest(const std::array<quint8, 6>& mac);

// What a reply answers, told by its signature and command (the device echoes those of the
// request); Unknown for anything else.
enum class EthReply { Unknown, FirstConnect, SecondConnect, Config };
EthReply KindOfReply(const ConfigBlock& reply);
// The firmware version in a reply to the first connection command: the byte after the zero
// that ends the text from byte 34; -1 when the reply holds no such byte.
int VersionOfReply(const ConfigBlock& reply);
// The MAC in a reply to the second connection command, bytes 17 to 22.
std::array<quint8, 6> MacOfReply(const ConfigBlock& reply);

// The block's bytes that map to the record copied into it (byte 55 set to 0, only the lowest
// byte of each time-out); every other byte of block stays as it is.
void RecordToBlock(ConfigBlock& block, const DeviceConfig& record);
// The record of a block: cleared, box_vers 39, the mapped fields, a one-byte time-out each.
// Mac_addres is left to the caller.
void BlockToRecord(const ConfigBlock& block, DeviceConfig& record);

// Opens the link to the device at address (ctx.devicePort; replies on ctx.localPort), checks
// that it is of the served firmware version and reads its configuration. Every failure has
// been told to the operator (a notice, or the retry question answered "Ні"); the sockets are
// closed again then. On success the sockets stay open and ctx holds the device's block,
// record and MAC. The reply time-out is Program().ethTimeout milliseconds.
bool ConnectEthernet(LinkContext& ctx, const IpAddress& address);

// Reads the configuration again into ctx (block and record, with the MAC). False when the
// operator gave up after the retry question.
bool ReadConfigEth(LinkContext& ctx);

// Writes record to the device, then waits a second and reads the configuration back, or,
// when record holds another ip_adr than the device had, connects anew at that address. The
// notice "Параметри записані у пристрій" is shown only when the device answered the write.
// True when the configuration could be read back (from the new address after a move);
// *acknowledged, when given, tells whether the device answered the write itself.
bool WriteConfigEth(LinkContext& ctx, const DeviceConfig& record, bool* acknowledged = nullptr);
