#include "config/devconfig.h"

#include "config/cp1251.h"

#include <QStringList>

void MakeEmptyConfig(DeviceConfig& cfg)
{
    cfg = DeviceConfig{};
    cfg.box_vers = kSupportedVersion;
    cfg.net.ip_prz = 255;
    for (PortConfig& p : cfg.ports) {
        p.rate = 9600;
        p.port_sett = {1, 4, 8};
        p.timeout = 1;
    }
}

QByteArray BoxNameBytes(const DeviceConfig& cfg)
{
    const char* p = cfg.box_name.data();
    return QByteArray(p, int(qstrnlen(p, cfg.box_name.size())));
}

QString BoxName(const DeviceConfig& cfg)
{
    return fromCp1251(BoxNameBytes(cfg));
}

void SetBoxNameBytes(DeviceConfig& cfg, const QByteArray& cp1251)
{
    const int end = cp1251.indexOf('\0');
    const QByteArray text = (end < 0 ? cp1251 : cp1251.left(end)).left(kBoxNameSize);
    cfg.box_name.fill(0);
    std::memcpy(cfg.box_name.data(), text.constData(), size_t(text.size()));
    cfg.box_name_end = 0;
}

bool SetBoxName(DeviceConfig& cfg, const QString& text)
{
    bool ok = true;
    const QByteArray bytes = toCp1251(text, &ok);
    if (!ok)
        return false;
    SetBoxNameBytes(cfg, bytes);
    return true;
}

QString MacText(const std::array<quint8, 6>& mac)
{
    QStringList parts;
    for (quint8 b : mac)
        parts << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    return parts.join(QLatin1Char(':'));
}

QString MacText(const DeviceConfig& cfg)
{
    return MacText(cfg.Mac_addres);
}
