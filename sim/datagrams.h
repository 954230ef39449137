#pragma once
// The Ethernet configuration datagrams the simulated device's CH9121 controller answers: every
// request and every reply is 285 bytes; bytes 0 to 15 are a signature, byte 16 the command.
//
//   "CH9121_CFG_FLAG" 0x04          first connection command: module name and firmware version
//   "NET_MODULE_COMM" 0x04          second connection command: the MAC address
//   "CH9121_CFG_FLAG" 0x02 MAC      read configuration: the whole configuration block
//   "CH9121_CFG_FLAG" 0x01 ... key  write configuration: the block, with the write key at 23
//
// Anything else gets no answer.

#include "sim/device_state.h"

#include <QByteArray>

constexpr int kSimDatagramSize = 285;

// The 16-byte signatures: 15 characters and a zero.
extern const QByteArray kSimCfgSignature;    // "CH9121_CFG_FLAG"
extern const QByteArray kSimModuleSignature; // "NET_MODULE_COMM"
// Bytes 23 to 28 of a write request.
extern const QByteArray kSimWriteKey;
// The text of the reply to the first connection command, which starts at byte 34; the
// version follows its terminating zero.
extern const char kSimModuleName[];

enum class SimRequest { Unknown, FirstConnect, SecondConnect, ReadConfig, WriteConfig };

// The configuration block the device reports now: the signature, the read command at 16, the
// fields of the running set at their places (box_name 35..54, ip 62..65, gateway 66..69, mask
// 70..73, ip_prz 74, is_port2 105, port 2 from 106, port 1 from 171) and, in every other byte,
// a filler of this device that is never zero and stays the same from read to read. Byte 55
// after the name is filler too: the device does not keep it zero.
QByteArray SimConfigBlock(const SimDeviceState& state);

// Takes the fields of a written block into the running and the saved set, as the device saves
// and restarts after a write, but for the field state.dropField names. Bytes outside the
// fields change nothing.
void SimApplyConfigBlock(SimDeviceState& state, const QByteArray& block);

// What the device makes of one datagram: which request it is (Unknown when it answers
// nothing) and the reply of exactly kSimDatagramSize bytes. A write is carried out on state.
struct SimAnswer {
    SimRequest request = SimRequest::Unknown;
    QByteArray reply; // empty when there is no answer
};
SimAnswer SimAnswerDatagram(SimDeviceState& state, const QByteArray& datagram);
