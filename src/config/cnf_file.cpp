#include "config/cnf_file.h"

#include "config/cp1251.h"
#include "config/operator.h"
#include "config/profile.h"
#include "config/program.h"

#include <QFileInfo>

#include <new>

namespace
{

const QByteArray kCommon = "COMMON_PAR";
const QByteArray kNet = "ETHERNEN_CONN_PAR";

QByteArray ethPortSection(int i)
{
    return "ETHERNEN_PORT_" + QByteArray::number(i + 1);
}

QByteArray comPortSection(int i)
{
    return "COM_PORT_" + QByteArray::number(i + 1);
}

QByteArray macKey(int i)
{
    return "Mac_addres[" + QByteArray::number(i) + ']';
}

QByteArray settKey(int i)
{
    return "port_sett[" + QByteArray::number(i) + ']';
}

QString fileNameOnly(const QString& path)
{
    return QFileInfo(path).fileName();
}

// True when the last component of path has a dot, i.e. any extension, even a bare ".".
bool hasExtension(const QString& path)
{
    return fileNameOnly(path).contains(QLatin1Char('.'));
}

// What a file without any key reads as: the defaults of a new configuration, but with
// port 2 enabled.
void setFileDefaults(DeviceConfig& cfg)
{
    MakeEmptyConfig(cfg);
    cfg.is_port2 = 1;
}

// Every key found in ini replaces its field of cfg, which holds the defaults.
void readKeys(const IniFile& ini, DeviceConfig& cfg)
{
    cfg.box_vers = quint8(ini.readInt(kCommon, "box_vers", cfg.box_vers));
    for (int i = 0; i < int(cfg.Mac_addres.size()); ++i)
        cfg.Mac_addres[i] = quint8(ini.readInt(kCommon, macKey(i), cfg.Mac_addres[i]));
    SetBoxNameBytes(cfg, NameFromFile(ini.readString(kCommon, "box_name"), kBoxNameSize));
    cfg.is_port2 = ini.readInt(kCommon, "is_port2", cfg.is_port2) != 0 ? 1 : 0;

    NetConfig& net = cfg.net;
    net.ip_prz = quint8(ini.readInt(kNet, "ip_prz", net.ip_prz));
    net.ip_adr = IntToAddress(ini.readInt(kNet, "ip_adr", AddressToInt(net.ip_adr)));
    net.net_mask = IntToAddress(ini.readInt(kNet, "net_mask", AddressToInt(net.net_mask)));
    net.gateway = IntToAddress(ini.readInt(kNet, "gateway", AddressToInt(net.gateway)));

    for (int i = 0; i < int(cfg.ports.size()); ++i) {
        PortConfig& p = cfg.ports[i];
        const QByteArray eth = ethPortSection(i);
        p.regim = quint8(ini.readInt(eth, "regim", p.regim));
        p.port = quint16(ini.readInt(eth, "port", p.port));
        p.remote_ip_adr =
            IntToAddress(ini.readInt(eth, "remote_ip_adr", AddressToInt(p.remote_ip_adr)));
        p.remote_port = quint16(ini.readInt(eth, "remote_port", p.remote_port));
        const QByteArray com = comPortSection(i);
        p.rate = quint32(ini.readInt(com, "rate", qint32(p.rate)));
        for (int k = 0; k < 3; ++k)
            p.port_sett[k] = quint8(ini.readInt(com, settKey(k), p.port_sett[k]));
        p.timeout = quint32(ini.readInt(com, "timeout", qint32(p.timeout)));
    }
}

} // namespace

bool ReadCnfFile(const QString& path, DeviceConfig& cfg, QString* error)
{
    setFileDefaults(cfg);
    IniFile ini;
    if (!ini.load(path, error, IniFile::IfMissing::Fail))
        return false;
    try {
        readKeys(ini, cfg);
    } catch (const std::bad_alloc&) {
        setFileDefaults(cfg);
        if (error)
            *error = UnableToReadText(path) + QStringLiteral("\nnot enough memory");
        return false;
    }
    return true;
}

bool WriteCnfFile(const DeviceConfig& cfg, const QString& path, QString* error)
{
    IniFile ini;
    if (!ini.loadForSave(path, error))
        return false;

    ini.setInt(kCommon, "box_vers", cfg.box_vers);
    for (int i = 0; i < int(cfg.Mac_addres.size()); ++i)
        ini.setInt(kCommon, macKey(i), cfg.Mac_addres[i]);
    ini.setValue(kCommon, "box_name", BoxNameBytes(cfg));
    ini.setInt(kCommon, "is_port2", cfg.is_port2 != 0 ? 1 : 0);

    ini.setInt(kNet, "ip_prz", cfg.net.ip_prz);
    ini.setInt(kNet, "ip_adr", AddressToInt(cfg.net.ip_adr));
    ini.setInt(kNet, "net_mask", AddressToInt(cfg.net.net_mask));
    ini.setInt(kNet, "gateway", AddressToInt(cfg.net.gateway));

    for (int i = 0; i < int(cfg.ports.size()); ++i) {
        const PortConfig& p = cfg.ports[i];
        const QByteArray eth = ethPortSection(i);
        ini.setInt(eth, "regim", p.regim);
        ini.setInt(eth, "port", p.port);
        ini.setInt(eth, "remote_ip_adr", AddressToInt(p.remote_ip_adr));
        ini.setInt(eth, "remote_port", p.remote_port);
        const QByteArray com = comPortSection(i);
        ini.setInt(com, "rate", qint32(p.rate));
        for (int k = 0; k < 3; ++k)
            ini.setInt(com, settKey(k), p.port_sett[k]);
        ini.setInt(com, "timeout", qint32(p.timeout));
    }
    return ini.save(path, error);
}

QStringList CnfFileFilters()
{
    return {QStringLiteral("Data Files (*.cnf)"), QStringLiteral("DataFiles (*.*)")};
}

QString GeneratedCnfName(quint8 boxVers, const QDateTime& now)
{
    const QDate d = now.date();
    const QTime t = now.time();
    const auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    return QStringLiteral("%1/qel_2_%2_%3%4%5%6%7.cnf")
        .arg(ConfigDirPath())
        .arg(boxVers)
        .arg(two(d.year() - 2000), two(d.month()), two(d.day()), two(t.hour()), two(t.minute()));
}

QString FileNameFromDeviceName(const QString& name)
{
    static const QString kForbidden = QStringLiteral("/\\:*?\"<>|");
    QString out = name;
    for (QChar& c : out) {
        if (kForbidden.contains(c) || c.category() == QChar::Other_Control)
            c = QLatin1Char('_');
    }
    return out;
}

bool OpenConfigFile(DeviceConfig& cfg, FileDialogs& dialogs)
{
    FileDialogRequest req;
    req.title = QStringLiteral("Вибір файлу з параметрами конфігурації");
    req.dir = ConfigDirPath();
    req.filters = CnfFileFilters();
    req.filterIndex = 0;
    const QString path = dialogs.openFile(req);
    if (path.isEmpty())
        return false;
    // A file that cannot be read is refused, never taken as a record of defaults that the
    // operator might write to a device.
    QString error;
    if (!ReadCnfFile(path, cfg, &error)) {
        ShowErrorText(error);
        return false;
    }
    if (cfg.box_vers == kSupportedVersion)
        return true;
    CurrentOperator().ask(
        MsgNotice, QStringLiteral("Файл %1 не є файлом конфігурації").arg(fileNameOnly(path)),
        QStringLiteral("пристрою QEL_2 версією %1").arg(kSupportedVersion));
    return false;
}

SaveOutcome SaveConfigFile(const DeviceConfig& cfg, FileDialogs& dialogs,
                           const QString& proposedName, const QDateTime& now)
{
    FileDialogRequest req;
    req.title = QStringLiteral("Вибір файлу для запису параметрів конфігурації");
    req.dir = ConfigDirPath();
    req.filters = CnfFileFilters();
    req.filterIndex = 0;

    QString current = proposedName.isEmpty() ? GeneratedCnfName(cfg.box_vers, now) : proposedName;
    bool offeredAgain = false; // the offered name is the one the operator just refused to replace
    for (;;) {
        req.fileName = current;
        const QString confirmed = dialogs.saveFile(req);
        if (confirmed.isEmpty())
            return SaveOutcome::Cancelled;
        if (offeredAgain && confirmed == req.fileName)
            break;
        current = confirmed;
        if (!QFileInfo::exists(current) && !hasExtension(current))
            current += QStringLiteral(".cnf");
        if (!QFileInfo::exists(current))
            break;
        if (CurrentOperator().ask(MsgQuestion,
                                  QStringLiteral("Файл %1 вже є.").arg(fileNameOnly(current)),
                                  QStringLiteral("Ви бажаєте замінити існуючий файл?")))
            break;
        offeredAgain = true;
    }

    QString error;
    if (!WriteCnfFile(cfg, current, &error)) {
        ShowErrorText(error);
        return SaveOutcome::Failed;
    }
    CurrentOperator().ask(MsgNotice, QStringLiteral("Параметри конфігурації"),
                          QStringLiteral("збережені в файлі %1").arg(fileNameOnly(current)));
    return SaveOutcome::Saved;
}
