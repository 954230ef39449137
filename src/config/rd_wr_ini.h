#pragma once
// The connection settings: link type, serial exchange settings, the abonent book and the
// program's own options, kept in qel_conn.ini, with the copy taken at the last read or write
// that decides what a write does.

#include "config/ipaddr.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

constexpr int kMaxAbonents = 200;
constexpr int kAbonentNameSize = 50; // 49 characters and the terminating zero
constexpr qint32 kDefaultAbonentPort = 50000;

struct Abonent {
    std::array<char, kAbonentNameSize> user_name{}; // Windows-1251, zero-terminated
    std::array<quint8, 4> ip_adr{};                 // first octet first
    qint32 port = 0;

    bool operator==(const Abonent& o) const
    {
        return user_name == o.user_name && ip_adr == o.ip_adr && port == o.port;
    }
    bool operator!=(const Abonent& o) const { return !(*this == o); }
};

struct AbonentBook {
    quint8 users_num = 0;
    quint8 user_index = 0;
    quint8 sort_prz = 0; // 0 by name, 1 by address
    std::array<Abonent, kMaxAbonents> abonents{};

    bool operator==(const AbonentBook& o) const
    {
        return users_num == o.users_num && user_index == o.user_index && sort_prz == o.sort_prz &&
               abonents == o.abonents;
    }
    bool operator!=(const AbonentBook& o) const { return !(*this == o); }
};

struct ConnSettings {
    quint8 Conn_Prz = 0; // 0 direct serial link, 1 Ethernet
    // Serial group.
    quint8 COMPort = 0;
    qint32 Rate = 0;
    quint8 Repeat = 0;
    qint32 TimeOut = 0;  // ms between reply bytes
    qint32 WaitTime = 0; // s to the first reply byte
    // Ethernet group.
    AbonentBook book;
    quint8 EthRepeat = 0;
    // Program group ([QEL2_SERV]).
    bool VerifyWrites = true; // read every write back and compare it with what was written
    // The network interfaces a device search covers (empty: every one), stored joined by
    // commas, so a name holds no comma.
    QStringList SearchInterfaces;

    bool serialGroupEquals(const ConnSettings& o) const
    {
        return COMPort == o.COMPort && Rate == o.Rate && Repeat == o.Repeat &&
               TimeOut == o.TimeOut && WaitTime == o.WaitTime;
    }
    bool ethernetGroupEquals(const ConnSettings& o) const
    {
        return book == o.book && EthRepeat == o.EthRepeat;
    }
    bool programGroupEquals(const ConnSettings& o) const
    {
        return VerifyWrites == o.VerifyWrites && SearchInterfaces == o.SearchInterfaces;
    }
    bool operator==(const ConnSettings& o) const
    {
        return Conn_Prz == o.Conn_Prz && serialGroupEquals(o) && ethernetGroupEquals(o) &&
               programGroupEquals(o);
    }
    bool operator!=(const ConnSettings& o) const { return !(*this == o); }
};

// The process-wide connection settings and the copy taken at the last read or write.
struct ConnSettingsState {
    ConnSettings cur;
    ConnSettings saved;
};
ConnSettingsState& ConnSet();

// Reads the settings file into state.cur (missing file, keys or bad values give the
// defaults; users_num is cut to the 200 records the book holds; names are taken as
// NameFromFile makes them, so that a write and a read give the same book; VerifyWrites is on
// unless its key holds 0; SearchInterfaces is the comma-separated list, a CR in it read as a
// blank, with blanks around each name and empty names dropped) and takes the saved copy. A
// file that cannot be read (not a regular file, larger than kMaxIniFileSize, no permission)
// reads as one with every key missing; the next write then refuses to replace it. Never throws.
void ReadConnSettings(ConnSettingsState& state, const QString& path);

// Writes the groups of state.cur that differ from the saved copy, in one atomic file
// replacement, and takes the saved copy. Nothing to write: the file is not opened. On
// failure the file is left as it was, the saved copy is not refreshed, *error reads
// "Unable to write to <path>" (and the reason), and false is returned.
bool WriteConnSettings(ConnSettingsState& state, const QString& path, QString* error = nullptr);

// The abonent that user_index chooses, or none when the index is outside the used records.
const Abonent* CurrentAbonent(const ConnSettings& s);

// The name of an abonent as text, and storing a name (cut to 49 bytes, the rest zeroed).
QString AbonentName(const Abonent& a);
void SetAbonentName(Abonent& a, const QByteArray& cp1251Name);
