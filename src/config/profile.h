#pragma once
// INI files with the behaviour of the Windows private-profile functions, on bytes.
//
// Section and key names match without regard to ASCII case; the first matching section and
// the first matching key in it win; blanks around names and values are ignored. Writing a
// key replaces its line in place, a new key goes after the last non-blank line of its
// section and a new section at the end of the file. Every other line (comments, foreign
// sections and keys, their order) is kept byte for byte. Lines are read with CRLF or LF and
// written with CRLF. A CR or LF that a caller puts into a value (or a name) is written as a
// blank, so that one entry is always one line. All changes of one logical write are saved
// in one atomic file replacement.
//
// The sections and keys are indexed once when a document is read, and the index follows
// every write, so neither a lookup nor a write goes through the lines of the file.
//
// Section and key names are the callers' own words: a section name holds no ']', and a key
// name holds no '=' and does not start with '[', or the file would read otherwise.
//
// Only regular files of at most kMaxIniFileSize bytes are read, and no larger file is
// written, so that a device, a FIFO or a huge file chosen by mistake cannot block the
// program or use up its memory.

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QMap>
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

    // Sets the value of the first matching key, or adds the key (and its section). Every CR
    // and LF in section, key or value is written as a blank.
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

    // Where the text of a line is: in text_ from begin to end (before its CRLF), or, when
    // added is not -1, in added_[added].
    struct Line {
        qsizetype begin = 0;
        qsizetype end = 0;
        int added = -1;
    };
    struct Section {
        Line last;                    // its last non-blank line: new keys go after it
        QHash<QByteArray, Line> keys; // the first line of each key, by folded name
    };
    // A line that a write added, or the new text of a line of text_ that it replaced.
    struct AddedLine {
        QByteArray text;
        int next = -1; // the added line that follows it at the same place, or -1
    };
    // What a write changed at a line start of text_ (or at its end).
    struct Patch {
        int inserted = -1;    // the first of the lines added before the line there, or -1
        int replacement = -1; // the added line that replaces the line there, or -1
    };

    // Builds the index of the sections and keys of text_; false, with the index incomplete,
    // at the first line that does not end with CRLF.
    bool index();
    const Section* findSection(const QByteArray& section) const;
    QByteArrayView lineText(const Line& line) const;
    // Adds a line after the line given, or after the last line of the document.
    int addLineAfter(const Line& line, const QByteArray& text);
    int addLineAtEnd(const QByteArray& text);

    QByteArray text_;                     // the document as read, every line ended by CRLF
    QList<Section> sections_;             // the first section of each name, in file order
    QHash<QByteArray, int> sectionIndex_; // position in sections_ by folded name
    QList<AddedLine> added_;
    QMap<qsizetype, Patch> patches_; // by offset in text_
    int lastAdded_ = -1;             // the added line that ends the document, or -1
};

// The text "Unable to write to <path>" that every failed file write reports.
QString UnableToWriteText(const QString& path);
// The text "Unable to read <path>" that every failed file read reports.
QString UnableToReadText(const QString& path);
