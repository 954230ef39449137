#include "config/group_input.h"

#include "config/rates.h"

#include <limits>

namespace
{

constexpr qint64 kOctetMax = 255;
constexpr qint64 kPortMax = 65535;
constexpr qint64 kTimeoutMax = 255;

// The number of items of each list of a port group.
constexpr int kRegimItems = 4;
constexpr int kStopBitsItems = 4;
constexpr int kParityItems = 5;
constexpr int kDataBitsItems = 2;

constexpr quint8 kManual = 0;
constexpr quint8 kAutomatic = 1;

// The data bits list shows 7 and 8 at these positions.
constexpr int kDataBitsAt[kDataBitsItems] = {7, 8};

bool Chosen(int index, int items)
{
    return index >= 0 && index < items;
}

// The position of a code in a list whose items are the codes 0..items-1; -1 for a code the
// list does not have.
int ListIndex(int code, int items)
{
    return Chosen(code, items) ? code : -1;
}

InputRefusal Refuse(InputRefusal::Kind kind, InputField field, int octet = 0,
                    const QString& text = QString())
{
    return InputRefusal{kind, field, octet, text};
}

// A filled field that must hold a whole number of 0..max: the number in value, or the refusal
// (NotANumber, or rangeKind for a number outside 0..max).
std::optional<InputRefusal> ReadNumber(const QString& text, InputField field, int octet, qint64 max,
                                       InputRefusal::Kind rangeKind, qint64& value)
{
    const std::optional<qint64> number = ParseWholeNumber(text);
    if (!number)
        return Refuse(InputRefusal::NotANumber, field, octet, text);
    if (*number < 0 || *number > max)
        return Refuse(rangeKind, field, octet, text);
    value = *number;
    return std::nullopt;
}

// One octet field of an address into its place in address, or the refusal.
std::optional<InputRefusal> ReadOctet(const std::array<QString, 4>& texts, int octet,
                                      InputField field, IpAddress& address)
{
    qint64 value = 0;
    if (auto refusal = ReadNumber(texts[size_t(octet)], field, octet, kOctetMax,
                                  InputRefusal::OutOfRange, value))
        return refusal;
    address[size_t(octet)] = quint8(value);
    return std::nullopt;
}

std::array<QString, 4> OctetTexts(const IpAddress& address)
{
    std::array<QString, 4> texts;
    for (size_t i = 0; i < texts.size(); ++i)
        texts[i] = QString::number(address[i]);
    return texts;
}

} // namespace

bool IsClientMode(int regim)
{
    return regim == 1 || regim == 3;
}

std::optional<qint64> ParseWholeNumber(const QString& text)
{
    const bool negative = text.startsWith(u'-');
    const qsizetype start = negative ? 1 : 0;
    if (text.size() == start)
        return std::nullopt;
    // The magnitude stops growing at the largest 64-bit number, so a longer one stays out of
    // every range the forms check instead of wrapping round into one.
    constexpr qint64 kLargest = std::numeric_limits<qint64>::max();
    qint64 magnitude = 0;
    for (qsizetype i = start; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c.unicode() - u'0';
        magnitude = magnitude > (kLargest - digit) / 10 ? kLargest : magnitude * 10 + digit;
    }
    return negative ? -magnitude : magnitude;
}

NetInput NetInputFrom(const NetConfig& net)
{
    NetInput in;
    in.mode = net.ip_prz == kManual || net.ip_prz == kAutomatic ? int(net.ip_prz) : -1;
    in.ip = OctetTexts(net.ip_adr);
    in.mask = OctetTexts(net.net_mask);
    in.gateway = OctetTexts(net.gateway);
    return in;
}

PortInput PortInputFrom(const PortConfig& group)
{
    PortInput in;
    in.regim = ListIndex(group.regim, kRegimItems);
    in.port = QString::number(group.port);
    in.remotePort = QString::number(group.remote_port);
    in.remoteIp = OctetTexts(group.remote_ip_adr);
    // A rate beyond int is in no table; it is not narrowed into one.
    const quint32 rate = group.rate;
    in.rate = rate <= quint32(std::numeric_limits<int>::max()) ? IndexOfRate(int(rate)) : -1;
    in.stopBits = ListIndex(group.port_sett[0], kStopBitsItems);
    in.parity = ListIndex(group.port_sett[1], kParityItems);
    in.dataBits = -1;
    for (int i = 0; i < kDataBitsItems; ++i) {
        if (group.port_sett[2] == kDataBitsAt[i])
            in.dataBits = i;
    }
    in.timeout = QString::number(group.timeout);
    return in;
}

std::optional<InputRefusal> TakeNetInput(const NetInput& in, NetConfig& net)
{
    if (in.mode != kManual && in.mode != kAutomatic)
        return Refuse(InputRefusal::NoMode, InputField::Mode);

    NetConfig taken = net;
    taken.ip_prz = quint8(in.mode);
    if (in.mode == kManual) {
        // The form shows the three addresses as rows of four octet columns and is read
        // column by column.
        struct Row {
            InputField field;
            const std::array<QString, 4>& texts;
            IpAddress& address;
        };
        const Row rows[] = {
            {InputField::Ip, in.ip, taken.ip_adr},
            {InputField::Mask, in.mask, taken.net_mask},
            {InputField::Gateway, in.gateway, taken.gateway},
        };
        for (int octet = 0; octet < 4; ++octet) {
            for (const Row& row : rows) {
                if (row.texts[size_t(octet)].isEmpty())
                    return Refuse(InputRefusal::Incomplete, row.field, octet);
            }
        }
        for (int octet = 0; octet < 4; ++octet) {
            for (const Row& row : rows) {
                if (auto refusal = ReadOctet(row.texts, octet, row.field, row.address))
                    return refusal;
            }
        }
    }
    net = taken;
    return std::nullopt;
}

std::optional<InputRefusal> TakePortInput(const PortInput& in, PortConfig& group)
{
    // Filled in, in the order of the form.
    if (!Chosen(in.regim, kRegimItems))
        return Refuse(InputRefusal::Incomplete, InputField::Regim);
    if (in.port.isEmpty())
        return Refuse(InputRefusal::Incomplete, InputField::Port);
    if (!Chosen(in.rate, int(kBaudRates.size())))
        return Refuse(InputRefusal::Incomplete, InputField::Rate);
    if (!Chosen(in.stopBits, kStopBitsItems))
        return Refuse(InputRefusal::Incomplete, InputField::StopBits);
    if (!Chosen(in.parity, kParityItems))
        return Refuse(InputRefusal::Incomplete, InputField::Parity);
    if (!Chosen(in.dataBits, kDataBitsItems))
        return Refuse(InputRefusal::Incomplete, InputField::DataBits);
    if (in.timeout.isEmpty())
        return Refuse(InputRefusal::Incomplete, InputField::Timeout);

    const bool client = IsClientMode(in.regim);
    if (client) {
        if (in.remotePort.isEmpty())
            return Refuse(InputRefusal::Incomplete, InputField::RemotePort);
        for (int octet = 0; octet < 4; ++octet) {
            if (in.remoteIp[size_t(octet)].isEmpty())
                return Refuse(InputRefusal::Incomplete, InputField::RemoteIp, octet);
        }
    }

    PortConfig taken = group;
    qint64 value = 0;
    if (client) {
        if (auto refusal = ReadNumber(in.remotePort, InputField::RemotePort, 0, kPortMax,
                                      InputRefusal::OutOfRange, value))
            return refusal;
        taken.remote_port = quint16(value);
        for (int octet = 0; octet < 4; ++octet) {
            if (auto refusal =
                    ReadOctet(in.remoteIp, octet, InputField::RemoteIp, taken.remote_ip_adr))
                return refusal;
        }
    }
    if (auto refusal =
            ReadNumber(in.port, InputField::Port, 0, kPortMax, InputRefusal::OutOfRange, value))
        return refusal;
    taken.port = quint16(value);
    if (auto refusal = ReadNumber(in.timeout, InputField::Timeout, 0, kTimeoutMax,
                                  InputRefusal::TimeoutRange, value))
        return refusal;
    taken.timeout = quint32(value);

    taken.regim = quint8(in.regim);
    taken.rate = quint32(kBaudRates[size_t(in.rate)]);
    taken.port_sett = {quint8(in.stopBits), quint8(in.parity),
                       quint8(kDataBitsAt[size_t(in.dataBits)])};
    group = taken;
    return std::nullopt;
}
