#pragma once
// Whole files as bytes, for tests that set up or check files byte for byte.

#include <QByteArray>
#include <QString>

// The file's bytes; a missing or unreadable file gives none.
QByteArray FileBytes(const QString& path);

// Creates or replaces the file with bytes; a file that cannot be written fails the test.
void PutFile(const QString& path, const QByteArray& bytes);
