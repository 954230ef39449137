#pragma once
// Windows-1251, the code page of every text the tool stores or sends. The conversion is a
// table of our own so that it is byte-exact on every platform, with no ICU data needed.

#include <QByteArray>
#include <QString>

// Decodes Windows-1251 bytes. Every byte has a character, so the round trip is exact.
QString fromCp1251(const QByteArray& bytes);

// Encodes text as Windows-1251. A character the code page cannot hold becomes '?' and
// clears *ok; callers that store text check ok, or refuse the text beforehand.
QByteArray toCp1251(const QString& text, bool* ok = nullptr);

// The first character of text that Windows-1251 cannot hold, or a null QChar when all can.
QChar firstNonCp1251(const QString& text);

// The upper-case letter of a Windows-1251 byte, Cyrillic included; other bytes unchanged.
unsigned char cp1251Upper(unsigned char byte);
