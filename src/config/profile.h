#pragma once
// INI files with the behaviour of the Windows private-profile functions, on bytes.
//
// Section and key names match without regard to ASCII case; the first matching section and
// the first matching key in it win; blanks around names and values are ignored. Writing a
// key replaces its line in place, a new key goes after the last entry of its section and a
// new section at the end of the file. Every other line (comments, foreign sections and
// keys, their order) is kept byte for byte. Lines are read with CRLF or LF and written with
// CRLF. All changes of one logical write are saved in one atomic file replacement.

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// Parses a signed 32-bit integer the way the files are read: optional sign, then decimal
// digits or "0x" with hexadecimal digits; blanks around it are ignored. Anything else
// (empty, trailing text, out of the signed 32-bit range) is not a number.
std::optional<qint32> ParseIniInt(const QByteArray& text);

class IniFile
{
public:
    IniFile() = default;
    explicit IniFile(const QByteArray& content);

    // Reads the file at path. A file that does not exist is an empty document. Fails only
    // when the file exists but cannot be read; *error then names the path and the reason.
    bool load(const QString& path, QString* error = nullptr);

    // The value of the first matching key, blanks trimmed; nothing when section or key is missing.
    std::optional<QByteArray> value(const QByteArray& section, const QByteArray& key) const;
    QByteArray readString(const QByteArray& section, const QByteArray& key,
                          const QByteArray& def = {}) const;
    // The key's value by ParseIniInt, or def when it is missing or not a number. Callers cut
    // the result to their field's width.
    qint32 readInt(const QByteArray& section, const QByteArray& key, qint32 def) const;

    void setValue(const QByteArray& section, const QByteArray& key, const QByteArray& value);
    void setInt(const QByteArray& section, const QByteArray& key, qint64 value);

    // The document as it would be written: every line ended with CRLF.
    QByteArray toBytes() const;

    // Replaces the file at path atomically with toBytes(). A failure leaves the old file
    // whole; *error then reads "Unable to write to <path>", and the reason on a second line.
    bool save(const QString& path, QString* error = nullptr) const;

private:
    // Index of the header line of the first matching section, or -1.
    int findSection(const QByteArray& section) const;
    // Index of the first matching key line after the header at sectionLine, or -1.
    int findKey(int sectionLine, const QByteArray& key) const;

    QList<QByteArray> lines_; // without their line ends
};

// The text "Unable to write to <path>" that every failed file write reports.
QString UnableToWriteText(const QString& path);
