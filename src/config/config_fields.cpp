#include "config/config_fields.h"

#include "config/rates.h"

#include <QStringList>

namespace
{

// A code with its meaning: "1 (TCP client)"; a code the list does not have is "unknown".
QString code(int value, const QStringList& meanings)
{
    const QString meaning =
        value >= 0 && value < meanings.size() ? meanings[value] : QStringLiteral("unknown");
    return QStringLiteral("%1 (%2)").arg(value).arg(meaning);
}

QString ipModeText(quint8 ipPrz)
{
    if (ipPrz == 255)
        return QStringLiteral("255 (not chosen)");
    return code(ipPrz, {QStringLiteral("manual"), QStringLiteral("automatic")});
}

QString rateText(quint32 rate)
{
    QString text = QString::number(rate);
    if (IndexOfRate(int(rate)) < 0)
        text += QStringLiteral(" (not a supported rate)");
    return text;
}

QString dataBitsText(int bits)
{
    const bool known = bits == 7 || bits == 8;
    return QStringLiteral("%1 (%2)").arg(bits).arg(known ? QStringLiteral("data bits")
                                                         : QStringLiteral("unknown"));
}

QString timeoutText(quint32 timeout)
{
    return QStringLiteral("%1 (%2 ms)").arg(timeout).arg(quint64(timeout) * 5);
}

void addPortFields(std::vector<ConfigField>& f, int port)
{
    const size_t i = size_t(port - 1);
    const FieldGroup group = port == 1 ? FieldGroup::Port1 : FieldGroup::Port2;
    const QString key = QStringLiteral("port%1.").arg(port);
    const QString label = QStringLiteral("Порт %1: ").arg(port);
    auto add = [&](const char* name, const char* caption, FieldItem item,
                   std::function<QString(const PortConfig&)> text) {
        f.push_back({key + QLatin1String(name), label + QString::fromUtf8(caption), group, item,
                     [i, text](const DeviceConfig& c) { return text(c.ports[i]); }});
    };
    add("regim", "робочий режим", FieldItem::Regim, [](const PortConfig& p) {
        return code(p.regim, {QStringLiteral("TCP server"), QStringLiteral("TCP client"),
                              QStringLiteral("UDP server"), QStringLiteral("UDP client")});
    });
    add("port", "номер порту", FieldItem::LocalPort,
        [](const PortConfig& p) { return QString::number(quint16(p.port)); });
    add("remote_ip_adr", "віддалена IP адреса", FieldItem::RemoteAddress,
        [](const PortConfig& p) { return AddressText(p.remote_ip_adr); });
    add("remote_port", "віддалений порт", FieldItem::RemotePort,
        [](const PortConfig& p) { return QString::number(quint16(p.remote_port)); });
    add("rate", "швидкість передачі", FieldItem::Rate,
        [](const PortConfig& p) { return rateText(p.rate); });
    add("port_sett[0]", "stop біти", FieldItem::StopBits, [](const PortConfig& p) {
        return code(p.port_sett[0],
                    {QStringLiteral("no stop bit"), QStringLiteral("one stop bit"),
                     QStringLiteral("two stop bits"), QStringLiteral("one and a half stop bits")});
    });
    add("port_sett[1]", "парність", FieldItem::Parity, [](const PortConfig& p) {
        return code(p.port_sett[1],
                    {QStringLiteral("odd"), QStringLiteral("even"), QStringLiteral("mark"),
                     QStringLiteral("space"), QStringLiteral("none")});
    });
    add("port_sett[2]", "біти даних", FieldItem::DataBits,
        [](const PortConfig& p) { return dataBitsText(p.port_sett[2]); });
    add("timeout", "таймаут", FieldItem::Timeout,
        [](const PortConfig& p) { return timeoutText(p.timeout); });
}

std::vector<ConfigField> makeFields()
{
    std::vector<ConfigField> f;
    f.push_back({QStringLiteral("box_name"), QStringLiteral("Найменування пристрою"),
                 FieldGroup::Device, FieldItem::Name,
                 [](const DeviceConfig& c) { return BoxName(c); }});
    f.push_back({QStringLiteral("is_port2"), QStringLiteral("Порт 2: підключення"),
                 FieldGroup::Device, FieldItem::Port2Switch, [](const DeviceConfig& c) {
                     return code(c.is_port2, {QStringLiteral("off"), QStringLiteral("on")});
                 }});
    f.push_back({QStringLiteral("ip_prz"), QStringLiteral("Режим зміни параметрів IP"),
                 FieldGroup::Network, FieldItem::IpMode,
                 [](const DeviceConfig& c) { return ipModeText(c.net.ip_prz); }});
    f.push_back({QStringLiteral("ip_adr"), QStringLiteral("IP-адреса контролера"),
                 FieldGroup::Network, FieldItem::Address,
                 [](const DeviceConfig& c) { return AddressText(c.net.ip_adr); }});
    f.push_back({QStringLiteral("net_mask"), QStringLiteral("Маска підмережі"), FieldGroup::Network,
                 FieldItem::Mask,
                 [](const DeviceConfig& c) { return AddressText(c.net.net_mask); }});
    f.push_back({QStringLiteral("gateway"), QStringLiteral("Шлюз за умовчуванням"),
                 FieldGroup::Network, FieldItem::Gateway,
                 [](const DeviceConfig& c) { return AddressText(c.net.gateway); }});
    addPortFields(f, 1);
    addPortFields(f, 2);
    return f;
}

bool inScope(FieldGroup group, FieldScope scope)
{
    switch (scope) {
    case FieldScope::All:
        return true;
    case FieldScope::Network:
        return group == FieldGroup::Network;
    case FieldScope::Port1:
        return group == FieldGroup::Port1;
    case FieldScope::Port2:
        return group == FieldGroup::Port2;
    }
    return false;
}

} // namespace

const std::vector<ConfigField>& ConfigFields()
{
    static const std::vector<ConfigField> fields = makeFields();
    return fields;
}

int PortOfField(const ConfigField& field)
{
    switch (field.group) {
    case FieldGroup::Port1:
        return 1;
    case FieldGroup::Port2:
        return 2;
    default:
        return 0;
    }
}

QList<FieldDifference> CompareConfigs(const DeviceConfig& a, const DeviceConfig& b,
                                      FieldScope scope, const FieldFilter& compared)
{
    QList<FieldDifference> out;
    for (const ConfigField& f : ConfigFields()) {
        if (!inScope(f.group, scope) || (compared && !compared(f)))
            continue;
        const QString first = f.text(a);
        const QString second = f.text(b);
        if (first != second)
            out.append({f.key, f.label, first, second});
    }
    return out;
}
