#include "config/rd_wr_ini.h"

#include "config/cp1251.h"
#include "config/profile.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace
{

const QByteArray kCurr = "CURR_PAR";
const QByteArray kDir = "DIR_CONN_PAR";
const QByteArray kEth = "ETHERNET_CONN_PAR";
const QByteArray kAbonents = "ABONENTS_CURR_PAR";
const QByteArray kProgram = "QEL2_SERV";

QByteArray abonentSection(int index)
{
    return "ETHERNET_ABONENT_" + QByteArray::number(index + 1);
}

// What a file without any key reads as.
ConnSettings fileDefaults()
{
    ConnSettings s;
    s.Conn_Prz = 0;
    s.COMPort = 1;
    s.Rate = 9600;
    s.Repeat = 1;
    s.TimeOut = 100;
    s.WaitTime = 2;
    s.EthRepeat = 10;
    s.VerifyWrites = true;
    return s;
}

// Every key found in ini replaces its field of s, which holds the defaults. EthRepeat is
// never read.
void readKeys(const IniFile& ini, ConnSettings& s)
{
    s.Conn_Prz = quint8(ini.readInt(kCurr, "Conn_Prz", s.Conn_Prz));
    s.COMPort = quint8(ini.readInt(kDir, "COMPort", s.COMPort));
    s.Rate = ini.readInt(kDir, "Rate", s.Rate);
    s.Repeat = quint8(ini.readInt(kDir, "Repeat", s.Repeat));
    s.TimeOut = ini.readInt(kDir, "TimeOut", s.TimeOut);
    s.WaitTime = ini.readInt(kDir, "WaitTime", s.WaitTime);
    AbonentBook& book = s.book;
    book.users_num =
        quint8(std::min(ini.readInt(kAbonents, "users_num", book.users_num) & 0xFF, kMaxAbonents));
    book.user_index = quint8(ini.readInt(kAbonents, "user_index", book.user_index));
    book.sort_prz = quint8(ini.readInt(kAbonents, "sort_prz", book.sort_prz));
    for (int i = 0; i < book.users_num; ++i) {
        Abonent& a = book.abonents[i];
        const QByteArray section = abonentSection(i);
        SetAbonentName(a, NameFromFile(ini.readString(section, "user_name"), kAbonentNameSize - 1));
        a.ip_adr = IntToAddress(ini.readInt(section, "ip_adr", 0));
        a.port = ini.readInt(section, "port", kDefaultAbonentPort);
    }
    s.VerifyWrites = ini.readInt(kProgram, "VerifyWrites", s.VerifyWrites ? 1 : 0) != 0;
    s.SearchInterfaces.clear();
    // A CR inside the value is read as the blank a write turns it into, so that the list
    // written back reads the same.
    QByteArray stored = ini.readString(kProgram, "SearchInterfaces");
    stored.replace('\r', ' ').replace('\n', ' ');
    const QString names = fromCp1251(stored);
    for (const QString& name : names.split(QLatin1Char(','))) {
        if (!name.trimmed().isEmpty())
            s.SearchInterfaces << name.trimmed();
    }
}

} // namespace

ConnSettingsState& ConnSet()
{
    static ConnSettingsState state;
    return state;
}

QString AbonentName(const Abonent& a)
{
    const char* p = a.user_name.data();
    return fromCp1251(QByteArray(p, int(qstrnlen(p, a.user_name.size()))));
}

void SetAbonentName(Abonent& a, const QByteArray& cp1251Name)
{
    a.user_name.fill(0);
    // The name ends at its first zero byte and holds at most 49 bytes.
    const int len = std::min<int>(int(qstrnlen(cp1251Name.constData(), cp1251Name.size())),
                                  kAbonentNameSize - 1);
    std::memcpy(a.user_name.data(), cp1251Name.constData(), size_t(len));
}

const Abonent* CurrentAbonent(const ConnSettings& s)
{
    const int used = std::min<int>(s.book.users_num, kMaxAbonents);
    if (s.book.user_index >= used)
        return nullptr;
    return &s.book.abonents[s.book.user_index];
}

void ReadConnSettings(ConnSettingsState& state, const QString& path)
{
    ConnSettings s = fileDefaults();
    try {
        IniFile ini;
        ini.load(path); // a file that cannot be read is taken as one with every key missing
        readKeys(ini, s);
    } catch (const std::bad_alloc&) {
        s = fileDefaults();
    }
    state.cur = s;
    state.saved = s;
}

bool WriteConnSettings(ConnSettingsState& state, const QString& path, QString* error)
{
    const ConnSettings& s = state.cur;
    if (s == state.saved)
        return true;
    IniFile ini;
    if (!ini.loadForSave(path, error))
        return false;
    ini.setInt(kCurr, "Conn_Prz", s.Conn_Prz);
    if (!s.serialGroupEquals(state.saved)) {
        ini.setInt(kDir, "COMPort", s.COMPort);
        ini.setInt(kDir, "Rate", s.Rate);
        ini.setInt(kDir, "Repeat", s.Repeat);
        ini.setInt(kDir, "TimeOut", s.TimeOut);
        ini.setInt(kDir, "WaitTime", s.WaitTime);
    }
    if (!s.ethernetGroupEquals(state.saved)) {
        ini.setInt(kEth, "Repeat", s.EthRepeat);
        ini.setInt(kAbonents, "users_num", s.book.users_num);
        ini.setInt(kAbonents, "user_index", s.book.user_index);
        ini.setInt(kAbonents, "sort_prz", s.book.sort_prz);
        const int used = std::min<int>(s.book.users_num, kMaxAbonents);
        for (int i = 0; i < used; ++i) {
            const Abonent& a = s.book.abonents[i];
            const QByteArray section = abonentSection(i);
            const char* name = a.user_name.data();
            ini.setValue(section, "user_name",
                         QByteArray(name, int(qstrnlen(name, a.user_name.size()))));
            ini.setInt(section, "ip_adr", AddressToInt(a.ip_adr));
            ini.setInt(section, "port", a.port);
        }
    }
    if (!s.programGroupEquals(state.saved)) {
        ini.setInt(kProgram, "VerifyWrites", s.VerifyWrites ? 1 : 0);
        ini.setValue(kProgram, "SearchInterfaces",
                     toCp1251(s.SearchInterfaces.join(QLatin1Char(','))));
    }
    if (!ini.save(path, error))
        return false;
    state.saved = s;
    return true;
}
