#pragma once
// The rules by which the parameter editors (and the all-parameters form of the Ethernet
// link) take the network group and a port group from what the operator entered: what must
// be filled in, which texts are numbers, the ranges of octets, port numbers and the
// time-out, and the rate table. A form moves text between its controls and these records,
// and turns a refusal into its own message and focus; the rules themselves live here once.

#include "config/devconfig.h"

#include <QString>

#include <array>
#include <optional>

// The controls of the network group as the operator left them: the index of the mode list
// (0 "Вручну", 1 "Автоматично", -1 for no choice) and the texts of the twelve octet fields.
struct NetInput {
    int mode = -1;
    std::array<QString, 4> ip;
    std::array<QString, 4> mask;
    std::array<QString, 4> gateway;
};

// The controls of a port group: list indexes (-1 for no choice) and field texts.
struct PortInput {
    int regim = -1; // 0 TCP server, 1 TCP client, 2 UDP server, 3 UDP client
    QString port;
    QString remotePort;
    std::array<QString, 4> remoteIp;
    int rate = -1;     // position in the rate table
    int stopBits = -1; // the code: 0 none, 1 one, 2 two, 3 one and a half
    int parity = -1;   // the code: 0 odd, 1 even, 2 mark, 3 space, 4 none
    int dataBits = -1; // 0 for 7 data bits, 1 for 8
    QString timeout;   // units of 5 ms
};

// The control a refusal is about.
enum class InputField {
    Mode,
    Ip,
    Mask,
    Gateway,
    Regim,
    Port,
    RemotePort,
    RemoteIp,
    Rate,
    StopBits,
    Parity,
    DataBits,
    Timeout,
};

// Why input was refused, and where.
struct InputRefusal {
    enum Kind {
        NoMode,       // the address assignment of the network group is not chosen
        Incomplete,   // a list without a choice, or an empty field
        NotANumber,   // a field whose text is not a whole number
        OutOfRange,   // an octet above 255 or a port number above 65535 (or below 0)
        TimeoutRange, // a time-out outside 0..255
    };
    Kind kind;
    InputField field;
    int octet = 0; // 0..3 for the four fields of an address, 0 for any other field
    QString text;  // the field's text (for NotANumber: the text that is not a number)
};

// TCP client and UDP client (1, 3): the modes in which the device connects to the remote side,
// so the only ones in which the remote port and address mean something.
bool IsClientMode(int regim);

// A whole number as the operator types it: an optional minus sign and ASCII digits, nothing
// else (no blanks, no '+', no punctuation). Nothing for any other text; a number too large
// for 64 bits is given as the largest one, so that it counts as out of any range.
std::optional<qint64> ParseWholeNumber(const QString& text);

// What the controls show for a group: lists at the position of the code (no choice for a
// code the list does not have, and for a rate not in the rate table), numbers in decimal.
NetInput NetInputFrom(const NetConfig& net);
PortInput PortInputFrom(const PortConfig& group);

// Takes the network group from the input, or refuses it, leaving net as it was. The checks,
// the first failing one decides:
//  1. no mode chosen (anything but 0 or 1): NoMode;
//  2. manual mode: for the columns 1 to 4 in turn, the address, mask and gateway fields of
//     the column must be filled (Incomplete, on the first empty one);
//  3. manual mode: column by column, address, mask, then gateway: each a whole number
//     (NotANumber) of 0..255 (OutOfRange).
// On success ip_prz becomes the mode; in manual mode the three addresses take the octets,
// in automatic mode they keep what net held.
std::optional<InputRefusal> TakeNetInput(const NetInput& in, NetConfig& net);

// Takes a port group from the input, or refuses it, leaving group as it was. The checks,
// the first failing one decides:
//  1. every list has a choice within its items and the local port and time-out fields are
//     filled, taken in the order of the form: mode, local port, rate, stop bits, parity,
//     data bits, time-out (Incomplete);
//  2. in a client mode (1, 3) the remote port and the four remote octets are filled
//     (Incomplete);
//  3. in a client mode the remote port (0..65535) and the remote octets (0..255), then in
//     every mode the local port (0..65535), are whole numbers (NotANumber) in range
//     (OutOfRange);
//  4. the time-out is a whole number (NotANumber) of 0..255 (TimeoutRange).
// On success the group takes the mode, the local port, the rate of the table at the chosen
// position, the stop bits, parity and data bits (7 or 8) codes and the time-out; the remote
// port and address in a client mode, while a server mode keeps the remote values of group.
std::optional<InputRefusal> TakePortInput(const PortInput& in, PortConfig& group);
