#pragma once
// Readable GoogleTest messages for Qt values: text instead of a dump of UTF-16 code units.

#include <QByteArray>
#include <QString>

#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

inline void PrintTo(const QByteArray& b, std::ostream* os)
{
    *os << '"';
    for (char c : b) {
        if (c == '\r')
            *os << "\\r";
        else if (c == '\n')
            *os << "\\n";
        else if (static_cast<unsigned char>(c) < 0x20)
            *os << "\\x" << std::hex << int(static_cast<unsigned char>(c)) << std::dec;
        else
            *os << c;
    }
    *os << '"';
}
