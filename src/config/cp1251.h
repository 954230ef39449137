#pragma once
// Windows-1251, the code page of every text the tool stores or sends. The conversion is a
// table of our own so that it is byte-exact on every platform, with no ICU data needed.

#include <QByteArray>
#include <QString>

#include <optional>

// Decodes Windows-1251 bytes. Every byte has a character, so the round trip is exact.
QString fromCp1251(const QByteArray& bytes);

// Encodes text as Windows-1251. A character the code page cannot hold becomes '?' and
// clears *ok; callers that store text check ok, or refuse the text beforehand.
QByteArray toCp1251(const QString& text, bool* ok = nullptr);

// Names the tool stores (abonent names, the device name) are the value of one INI line each.
// A control character (below 0x20) has no place in one: a CR or LF would end the line and
// let the rest of the name stand as an entry of its own.

// Why text cannot be stored as a name: the two lines of the input-error message about its
// first character that is a control character or that Windows-1251 cannot hold. Nothing
// when every character can be stored.
struct NameRefusal {
    QString line1; // names the character
    QString line2; // says why it cannot be stored
};
std::optional<NameRefusal> RefuseAsName(const QString& text);

// A name read from a file, made into what the writer writes back unchanged, so that a read,
// a write and a read again give the same name: it ends at its first zero byte, every control
// character becomes a blank, it is cut to size bytes, and blanks at both ends are dropped.
QByteArray NameFromFile(const QByteArray& value, int size);

// The upper-case letter of a Windows-1251 byte, Cyrillic included; other bytes unchanged.
unsigned char cp1251Upper(unsigned char byte);
