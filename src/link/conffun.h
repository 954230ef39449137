#pragma once
// The parameter groups over the serial link: the network group and one port group are read
// and written command by command, and a write ends in a save to EEPROM and a restart.
// Every operation keeps the wait cursor on for its whole run; a failed command has already
// shown its retry question by the time the operation returns.
//
// A read stops at its first failed command, so after a failed read ctx.lastCommand and
// ctx.resultCode name the command that failed and why. A write goes on past some failures
// (the mode after a failed mask, the commit after a failed mode, every command of the
// commit), so the last command sent is not the one to blame: a write hands its first
// failure back in a CommandFailure.

#include "config/devconfig.h"
#include "config/write_check.h"

#include <QString>

struct LinkContext;

enum class CommitWhich { None, Port1, Port2 };

// The first command of a write that the device did not acknowledge.
struct CommandFailure {
    bool failed = false; // false: every command sent was acknowledged, or none was sent
    quint8 code = 0;     // the command's code
    qint32 result = 0;   // its result code (ResultCodes, link/qelbox.h)
    QString text;        // the text of that result code
};

// Reads ip_adr, net_mask and gateway; sets ip_prz to 255 (no command reads the mode).
bool ReadNetConfig(LinkContext& ctx, NetConfig& net);
// port is 1 or 2; any other number fails without sending anything.
bool ReadPortConfig(LinkContext& ctx, int port, PortConfig& group);

// The writes send their commands with these stop rules:
//  - network group: with ip_prz 0 the address (0x11; a failure ends the write with nothing
//    more sent), the mask (0x12) and, if the mask was taken, the gateway (0x13); then the
//    mode (0x33) unless ip_prz is 255 (the mode was never chosen and is left as the device
//    has it); then the commit without port settings;
//  - port group: each command only after every one before it was taken, the remote address
//    and port only in the client modes (1, 3); port 2 is switched on (0x39) after its
//    time-out command whatever that command's outcome; the commit for the port only when the
//    time-out was taken;
//  - commit: every command, whatever became of the ones before.
// Each returns true only when every command it sent was acknowledged, the save to EEPROM
// (0x0D), the restart (0x02) and 0x39 included: after a failed save the device restarts with
// its old EEPROM values and the write is lost. When failure is given it is set on return:
// to the first command that failed, or to "nothing failed".
bool WriteNetConfig(LinkContext& ctx, const NetConfig& net, CommandFailure* failure = nullptr);
// port is 1 or 2; any other number fails without sending anything (failure names no command).
bool WritePortConfig(LinkContext& ctx, int port, const PortConfig& group,
                     CommandFailure* failure = nullptr);
// The settings a write leaves behind (port 1: 0x17 0, 0x24 1, 0x26 1, 0x25 1024; port 2:
// 0x47 0, 0x49 1, 0x48 1024), then 0x0D (save) and 0x02 (restart).
bool CommitConfig(LinkContext& ctx, CommitWhich which, CommandFailure* failure = nullptr);

// A whole device over the serial link: the network group, port 1 and port 2, each only
// after the one before it succeeded. A read starts from an all-zero record with box_vers 39
// (the serial link gives no MAC, name or port 2 flag). A write succeeds only when every
// command of the three groups was acknowledged; it stops after the first group that was not
// wholly acknowledged.
bool ReadDeviceConfig(LinkContext& ctx, DeviceConfig& cfg);
bool WriteDeviceConfig(LinkContext& ctx, const DeviceConfig& cfg,
                       CommandFailure* failure = nullptr);

// Verification of the writes above: the group is read back, its commands with their attempts
// and retry question as every read (they also wait out the restart that ends each write), and
// compared with what was written. Only the fields the write sent and the serial link reads
// are compared: never the name, the port 2 switch or the address assignment (no command
// reads them); the address, mask and gateway only when ip_prz is 0 (otherwise they are not
// sent); a port's remote address and port only in the client modes. A read that fails gives
// a check that was not read back, with ctx naming the command that failed.
WriteCheck ReadBackNetConfig(LinkContext& ctx, const NetConfig& written);
// port is 1 or 2; any other number reads nothing and gives a check that was not read back.
WriteCheck ReadBackPortConfig(LinkContext& ctx, int port, const PortConfig& written);
WriteCheck ReadBackDeviceConfig(LinkContext& ctx, const DeviceConfig& written);

// Whether the serial link reads a field at all: every field but the name, the port 2 switch
// and the address assignment.
bool SerialLinkReads(const ConfigField& field);
