#pragma once
// What the simulated QEL_2 device knows about itself, and the configuration commands its
// CH9121 controller understands on the serial line: for each command code the number of data
// bytes that follow the code in a frame, the length of the answer, and what it does.
//
// Reads report and writes change the working parameters; 0x0D copies them to the saved
// (EEPROM) set, and the restart 0x02 makes the device run with the saved set again.
//
// A faulty device may leave one field alone on every write while it acknowledges the write
// as usual: SimDeviceState::dropField names it by the key qel2_cli prints for it.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>

struct SimPortParams {
    quint8 regim = 0; // 0 TCP server, 1 TCP client, 2 UDP server, 3 UDP client
    quint16 port = 0;
    std::array<quint8, 4> remoteIp{};
    quint16 remotePort = 0;
    quint32 rate = 9600;
    std::array<quint8, 3> portSett{{1, 4, 8}}; // stop bits code, parity code, data bits
    quint32 timeout = 1;                       // units of 5 ms
    quint8 randomEnable = 0;
    quint8 disconnectOnCable = 0; // port 1 only
    quint8 clearOnConnect = 0;
    quint32 packetLength = 0;

    bool operator==(const SimPortParams& o) const;
    bool operator!=(const SimPortParams& o) const { return !(*this == o); }
};

struct SimParams {
    std::array<quint8, 4> ip{};
    std::array<quint8, 4> mask{};
    std::array<quint8, 4> gateway{};
    quint8 ipPrz = 0; // 0 manual, 1 DHCP
    std::array<SimPortParams, 2> ports{};
    quint8 port2Enabled = 0;

    bool operator==(const SimParams& o) const;
    bool operator!=(const SimParams& o) const { return !(*this == o); }
};

struct SimDeviceState {
    quint8 version = 39;
    std::array<quint8, 6> mac{{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}};
    QByteArray name; // Windows-1251, at most 20 bytes
    std::array<quint8, 2> tcpState{};

    SimParams params; // what reads report and writes change
    SimParams saved;  // the EEPROM copy
    int saves = 0;
    int restarts = 0;

    QString dropField; // a key of SimFieldKeys: writes leave that field as it was; empty: none
};

// The keys of the fields a write can be made to leave alone: box_name, is_port2, ip_prz,
// ip_adr, net_mask, gateway, and port1. or port2. followed by regim, port, remote_ip_adr,
// remote_port, rate, port_sett[0], port_sett[1], port_sett[2] or timeout.
QStringList SimFieldKeys();
bool IsSimFieldKey(const QString& key);

// Carries out one write on state: write(state), and then the field state.dropField names
// goes back to what it was, in the running and in the saved set.
void SimWrite(SimDeviceState& state, const std::function<void(SimDeviceState&)>& write);

struct SimCommand {
    quint8 code = 0;
    int dataLength = 0;  // bytes after the code in the frame
    int replyLength = 1; // bytes of the answer
    // Carries the command out; data holds exactly dataLength bytes. Returns the answer, which
    // the caller pads or cuts to replyLength.
    std::function<QByteArray(SimDeviceState&, const QByteArray& data)> run;
};

// The command with this code, or the generic one for an unknown code: no data, and a
// one-byte acknowledgement that changes nothing.
const SimCommand& FindSimCommand(quint8 code);

// Runs one command on the state and returns its answer of exactly replyLength bytes.
QByteArray RunSimCommand(SimDeviceState& state, quint8 code, const QByteArray& data);
