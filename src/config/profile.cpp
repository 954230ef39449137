#include "config/profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <limits>
#include <new>

namespace
{

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArray trimBlanks(const QByteArray& s)
{
    int b = 0;
    int e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.mid(b, e - b);
}

bool sameName(const QByteArray& a, const QByteArray& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The name of a section header line ("[name]"), or nothing when the line is not one.
std::optional<QByteArray> sectionName(const QByteArray& line)
{
    const QByteArray t = trimBlanks(line);
    if (!t.startsWith('['))
        return std::nullopt;
    const int close = t.indexOf(']');
    return trimBlanks(close < 0 ? t.mid(1) : t.mid(1, close - 1));
}

// The key of an entry line ("key=value"), or nothing when the line has no '='.
std::optional<QByteArray> keyName(const QByteArray& line)
{
    const int eq = line.indexOf('=');
    if (eq < 0)
        return std::nullopt;
    return trimBlanks(line.left(eq));
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

enum class FileRead { Ok, Missing, Failed };

// Reads the whole file at path into bytes, or says why not in reason. Only a regular file
// is opened, and at most one byte beyond the limit is read, so that neither a FIFO nor a
// device, nor a file that grows while it is read, can hold the program or fill its memory.
FileRead readIniFile(const QString& path, QByteArray& bytes, QString& reason)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        reason = QStringLiteral("no such file");
        return FileRead::Missing;
    }
    const QString tooLarge = QStringLiteral("larger than %1 bytes").arg(kMaxIniFileSize);
    if (!info.isFile()) {
        reason = QStringLiteral("not a regular file");
        return FileRead::Failed;
    }
    if (info.size() > kMaxIniFileSize) {
        reason = tooLarge;
        return FileRead::Failed;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        reason = file.errorString();
        return FileRead::Failed;
    }
    const qint64 cap = kMaxIniFileSize + 1;
    bytes.resize(qsizetype(std::min(info.size() + 1, cap)));
    qint64 got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got == cap)
                break;
            bytes.resize(qsizetype(std::min(2 * got, cap))); // it grew since it was measured
        }
        const qint64 n = file.read(bytes.data() + got, bytes.size() - got);
        if (n < 0) {
            reason = file.errorString();
            return FileRead::Failed;
        }
        if (n == 0)
            break;
        got += n;
    }
    if (got > kMaxIniFileSize) {
        reason = tooLarge;
        return FileRead::Failed;
    }
    bytes.truncate(qsizetype(got));
    return FileRead::Ok;
}

} // namespace

std::optional<qint32> ParseIniInt(const QByteArray& text)
{
    const QByteArray t = trimBlanks(text);
    int i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        negative = t[i] == '-';
        ++i;
    }
    int base = 10;
    if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= t.size())
        return std::nullopt;
    // The magnitude may reach 2^31 for the most negative value; stop as soon as it is beyond.
    const qint64 limit = qint64(std::numeric_limits<qint32>::max()) + (negative ? 1 : 0);
    qint64 magnitude = 0;
    for (; i < t.size(); ++i) {
        const int d = hexDigit(t[i]);
        if (d < 0 || d >= base)
            return std::nullopt;
        magnitude = magnitude * base + d;
        if (magnitude > limit)
            return std::nullopt;
    }
    return static_cast<qint32>(negative ? -magnitude : magnitude);
}

QString UnableToWriteText(const QString& path)
{
    return QStringLiteral("Unable to write to %1").arg(QDir::toNativeSeparators(path));
}

QString UnableToReadText(const QString& path)
{
    return QStringLiteral("Unable to read %1").arg(QDir::toNativeSeparators(path));
}

IniFile::IniFile(const QByteArray& content)
{
    if (content.isEmpty())
        return;
    lines_ = content.split('\n');
    // A final line end does not open another line.
    if (content.endsWith('\n'))
        lines_.removeLast();
    for (QByteArray& line : lines_) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
}

bool IniFile::load(const QString& path, QString* error, IfMissing ifMissing)
{
    QString reason;
    if (loadFile(path, ifMissing, reason))
        return true;
    if (error)
        *error = UnableToReadText(path) + QLatin1Char('\n') + reason;
    return false;
}

bool IniFile::loadForSave(const QString& path, QString* error)
{
    QString reason;
    if (loadFile(path, IfMissing::Empty, reason))
        return true;
    if (error)
        *error = UnableToWriteText(path) + QLatin1Char('\n') + reason;
    return false;
}

bool IniFile::loadFile(const QString& path, IfMissing ifMissing, QString& reason)
{
    *this = IniFile();
    try {
        QByteArray bytes;
        switch (readIniFile(path, bytes, reason)) {
        case FileRead::Ok:
            *this = IniFile(bytes);
            return true;
        case FileRead::Missing:
            return ifMissing == IfMissing::Empty;
        case FileRead::Failed:
            return false;
        }
    } catch (const std::bad_alloc&) {
        *this = IniFile();
        reason = QStringLiteral("not enough memory");
    }
    return false;
}

int IniFile::findSection(const QByteArray& section) const
{
    const QByteArray want = trimBlanks(section);
    for (int i = 0; i < lines_.size(); ++i) {
        const auto name = sectionName(lines_[i]);
        if (name && sameName(*name, want))
            return i;
    }
    return -1;
}

int IniFile::findKey(int sectionLine, const QByteArray& key) const
{
    const QByteArray want = trimBlanks(key);
    for (int i = sectionLine + 1; i < lines_.size(); ++i) {
        if (sectionName(lines_[i]))
            break;
        const auto name = keyName(lines_[i]);
        if (name && sameName(*name, want))
            return i;
    }
    return -1;
}

std::optional<QByteArray> IniFile::value(const QByteArray& section, const QByteArray& key) const
{
    const int s = findSection(section);
    if (s < 0)
        return std::nullopt;
    const int k = findKey(s, key);
    if (k < 0)
        return std::nullopt;
    const QByteArray& line = lines_[k];
    return trimBlanks(line.mid(line.indexOf('=') + 1));
}

QByteArray IniFile::readString(const QByteArray& section, const QByteArray& key,
                               const QByteArray& def) const
{
    return value(section, key).value_or(def);
}

qint32 IniFile::readInt(const QByteArray& section, const QByteArray& key, qint32 def) const
{
    const auto v = value(section, key);
    if (!v)
        return def;
    return ParseIniInt(*v).value_or(def);
}

void IniFile::setValue(const QByteArray& section, const QByteArray& key, const QByteArray& value)
{
    const QByteArray entry = trimBlanks(key) + '=' + value;
    const int s = findSection(section);
    if (s < 0) {
        lines_.append('[' + trimBlanks(section) + ']');
        lines_.append(entry);
        return;
    }
    const int k = findKey(s, key);
    if (k >= 0) {
        lines_[k] = entry;
        return;
    }
    // After the last non-blank line of the section, so blank lines stay before the next one.
    int last = s;
    for (int i = s + 1; i < lines_.size() && !sectionName(lines_[i]); ++i) {
        if (!trimBlanks(lines_[i]).isEmpty())
            last = i;
    }
    lines_.insert(last + 1, entry);
}

void IniFile::setInt(const QByteArray& section, const QByteArray& key, qint64 value)
{
    setValue(section, key, QByteArray::number(value));
}

QByteArray IniFile::toBytes() const
{
    QByteArray out;
    for (const QByteArray& line : lines_) {
        out += line;
        out += "\r\n";
    }
    return out;
}

bool IniFile::save(const QString& path, QString* error) const
{
    const auto fail = [&](const QString& reason) {
        if (error)
            *error = UnableToWriteText(path) + QLatin1Char('\n') + reason;
        return false;
    };
    // The rename of an atomic save would replace a read-only file; refuse as a direct write would.
    const QFileInfo info(path);
    if (info.exists() && (!info.isFile() || !info.isWritable()))
        return fail(info.isFile() ? QStringLiteral("the file is read-only")
                                  : QStringLiteral("not a regular file"));
    // What is written must be readable again.
    const QByteArray bytes = toBytes();
    if (bytes.size() > kMaxIniFileSize)
        return fail(QStringLiteral("the file would be larger than %1 bytes").arg(kMaxIniFileSize));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (file.write(bytes) != bytes.size())
        return fail(file.errorString());
    if (!file.commit())
        return fail(file.errorString());
    return true;
}
