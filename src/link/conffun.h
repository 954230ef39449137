#pragma once
// The parameter groups over the serial link: the network group and one port group are read
// and written command by command, and a write ends in a save to EEPROM and a restart.
// Every operation keeps the wait cursor on for its whole run; a failed command has already
// shown its retry question by the time the operation returns.

#include "config/devconfig.h"

struct LinkContext;

enum class CommitWhich { None, Port1, Port2 };

// Reads ip_adr, net_mask and gateway; sets ip_prz to 255 (no command reads the mode).
bool ReadNetConfig(LinkContext& ctx, NetConfig& net);
// Writes the group and commits. With ip_prz 255 (mode not chosen) the mode is not sent;
// the result is then that of the commit's final command.
bool WriteNetConfig(LinkContext& ctx, const NetConfig& net);
// port is 1 or 2; any other number fails without sending anything.
bool ReadPortConfig(LinkContext& ctx, int port, PortConfig& group);
bool WritePortConfig(LinkContext& ctx, int port, const PortConfig& group);
// A whole device over the serial link: the network group, port 1 and port 2, each only
// after the one before it succeeded. A read starts from an all-zero record with box_vers 39
// (the serial link gives no MAC, name or port 2 flag).
bool ReadDeviceConfig(LinkContext& ctx, DeviceConfig& cfg);
bool WriteDeviceConfig(LinkContext& ctx, const DeviceConfig& cfg);
// The settings a write leaves behind, then 0x0D (save) and 0x02 (restart); the result is
// that of the restart.
bool CommitConfig(LinkContext& ctx, CommitWhich which);
