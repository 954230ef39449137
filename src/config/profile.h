#pragma once
// INI files with the behaviour of the Windows private-profile functions, on bytes.
//
// Section and key names match without regard to ASCII case; the first matching section and
// the first matching key in it win; blanks around names and values are ignored. Writing a
// key replaces its line in place, a new key goes after the last entry of its section and a
// new section at the end of the file. Every other line (comments, foreign sections and
// keys, their order) is kept byte for byte. Lines are read with CRLF or LF and written with
// CRLF. All changes of one logical write are saved in one atomic file replacement.
//
// Only regular files of at most kMaxIniFileSize bytes are read, and no larger file is
// written, so that a device, a FIFO or a huge file chosen by mistake cannot block the
// program or use up its memory.

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

constexpr qint64 kMaxIniFileSize = 4 * 1024 * 1024;

// Parses a signed 32-bit integer the way the files are read: optional sign, then decimal
// digits or "0x" with hexadecimal digits; blanks around it are ignored. Anything else
// (empty, trailing text, out of the signed 32-bit range) is not a number.
std::optional<qint32> ParseIniInt(const QByteArray& text);

class IniFile
{
public:
    IniFile() = default;
    explicit IniFile(const QByteArray& content);

    enum class IfMissing {
        Empty, // a file that does not exist is an empty document
        Fail,  // a file that does not exist is a failure like any other
    };

    // Reads the file at path. Fails when the path is not a regular file, when the file is
    // larger than kMaxIniFileSize or cannot be read, and, with IfMissing::Fail, when there is
    // no file; the document is then empty and *error reads "Unable to read <path>", and the
    // reason on a second line. The type is checked before the file is opened, so a FIFO is
    // never opened. Never throws.
    bool load(const QString& path, QString* error = nullptr,
              IfMissing ifMissing = IfMissing::Empty);

    // Loads the file that save(path) is to replace, so that its other sections and keys are
    // kept. Fails as load does, but *error reads as a failed save would: "Unable to write to
    // <path>", and why the file cannot be read on a second line; writing without its
    // contents would lose them.
    bool loadForSave(const QString& path, QString* error = nullptr);

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

    // Replaces the file at path atomically with toBytes(). Refuses a path that is not a
    // regular file, a read-only file, and a document larger than kMaxIniFileSize. A failure
    // leaves the old file whole; *error then reads "Unable to write to <path>", and the
    // reason on a second line.
    bool save(const QString& path, QString* error = nullptr) const;

private:
    // load and loadForSave: *this becomes the file's document, or empty with reason set.
    bool loadFile(const QString& path, IfMissing ifMissing, QString& reason);

    // Index of the header line of the first matching section, or -1.
    int findSection(const QByteArray& section) const;
    // Index of the first matching key line after the header at sectionLine, or -1.
    int findKey(int sectionLine, const QByteArray& key) const;

    QList<QByteArray> lines_; // without their line ends
};

// The text "Unable to write to <path>" that every failed file write reports.
QString UnableToWriteText(const QString& path);
// The text "Unable to read <path>" that every failed file read reports.
QString UnableToReadText(const QString& path);
