#include "config/profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace
{

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimBlanks(QByteArrayView s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.sliced(b, e - b);
}

// A name as the index keeps it: blanks around it dropped, ASCII letters in lower case.
QByteArray foldedName(QByteArrayView name)
{
    QByteArray folded = trimBlanks(name).toByteArray();
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return folded;
}

// text with every CR and LF replaced by a blank, so that it stays on its line.
QByteArray withoutLineEnds(const QByteArray& text)
{
    if (!text.contains('\r') && !text.contains('\n'))
        return text;
    QByteArray out = text;
    out.replace('\r', ' ').replace('\n', ' ');
    return out;
}

// content with every line ended by CRLF: a line ends at an LF, and one CR before that LF,
// or at the end of the content, belongs to the line end.
QByteArray canonicalText(const QByteArray& content)
{
    const char* const data = content.constData();
    const qsizetype size = content.size();
    // Each line grows by at most its CR, and a last line without LF by CRLF.
    QByteArray out(size + content.count('\n') + 2, Qt::Uninitialized);
    char* o = out.data();
    qsizetype begin = 0;
    while (begin < size) {
        const auto* nl =
            static_cast<const char*>(std::memchr(data + begin, '\n', size_t(size - begin)));
        qsizetype end = nl ? nl - data : size;
        const qsizetype next = nl ? end + 1 : size;
        if (end > begin && data[end - 1] == '\r')
            --end;
        std::memcpy(o, data + begin, size_t(end - begin));
        o += end - begin;
        *o++ = '\r';
        *o++ = '\n';
        begin = next;
    }
    out.truncate(o - out.constData());
    return out;
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
    const QByteArrayView t = trimBlanks(text);
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

IniFile::IniFile(const QByteArray& content) : text_(content)
{
    // Content written by this class has CRLF throughout and is indexed as it is; any other
    // is copied in that form first.
    if (!index()) {
        sections_.clear();
        sectionIndex_.clear();
        text_ = canonicalText(content);
        index();
    }
}

bool IniFile::index()
{
    const char* const data = text_.constData();
    const qsizetype size = text_.size();
    int current = -1; // the section the lines belong to, when it is the first of its name
    for (qsizetype begin = 0; begin < size;) {
        if (data[begin] == '\r' && begin + 1 < size && data[begin + 1] == '\n') {
            begin += 2; // an empty line, the commonest kind in a large file
            continue;
        }
        const auto* nl =
            static_cast<const char*>(std::memchr(data + begin, '\n', size_t(size - begin)));
        if (!nl || nl == data + begin || nl[-1] != '\r')
            return false;
        const qsizetype next = nl - data + 1;
        const qsizetype end = next - 2;
        qsizetype p = begin;
        while (p < end && isBlank(data[p]))
            ++p;
        if (p < end && data[p] == '[') {
            const QByteArrayView rest(data + p + 1, end - p - 1);
            const qsizetype close = rest.indexOf(']');
            const QByteArray name = foldedName(close < 0 ? rest : rest.first(close));
            current = -1;
            if (!sectionIndex_.contains(name)) {
                current = int(sections_.size());
                sections_.append(Section{Line{begin, end}, {}});
                sectionIndex_.insert(name, current);
            }
        } else if (p < end && current >= 0) {
            Section& section = sections_[current];
            section.last = Line{begin, end};
            const QByteArrayView line(data + begin, end - begin);
            const qsizetype eq = line.indexOf('=');
            if (eq >= 0) {
                const QByteArray key = foldedName(line.first(eq));
                if (!section.keys.contains(key))
                    section.keys.insert(key, section.last);
            }
        }
        begin = next;
    }
    return true;
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

const IniFile::Section* IniFile::findSection(const QByteArray& section) const
{
    const auto it = sectionIndex_.constFind(foldedName(section));
    return it == sectionIndex_.cend() ? nullptr : &sections_[*it];
}

QByteArrayView IniFile::lineText(const Line& line) const
{
    if (line.added >= 0)
        return added_[line.added].text;
    return QByteArrayView(text_.constData() + line.begin, line.end - line.begin);
}

std::optional<QByteArray> IniFile::value(const QByteArray& section, const QByteArray& key) const
{
    const Section* s = findSection(section);
    if (!s)
        return std::nullopt;
    const auto k = s->keys.constFind(foldedName(key));
    if (k == s->keys.cend())
        return std::nullopt;
    const QByteArrayView line = lineText(*k);
    return trimBlanks(line.sliced(line.indexOf('=') + 1)).toByteArray();
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
    const QByteArray sectionName = trimBlanks(withoutLineEnds(section)).toByteArray();
    const QByteArray keyName = trimBlanks(withoutLineEnds(key)).toByteArray();
    const QByteArray entry = keyName + '=' + withoutLineEnds(value);
    const QByteArray folded = foldedName(keyName);
    const QByteArray foldedSection = foldedName(sectionName);
    const auto it = sectionIndex_.constFind(foldedSection);
    if (it == sectionIndex_.cend()) {
        addLineAtEnd('[' + sectionName + ']');
        Section added;
        added.last.added = addLineAtEnd(entry);
        added.keys.insert(folded, added.last);
        sectionIndex_.insert(foldedSection, int(sections_.size()));
        sections_.append(added);
        return;
    }
    Section& s = sections_[*it];
    const auto k = s.keys.find(folded);
    if (k == s.keys.end()) {
        // After the last non-blank line of the section, so blank lines stay before the next one.
        s.last = Line{0, 0, addLineAfter(s.last, entry)};
        s.keys.insert(folded, s.last);
    } else if (k->added >= 0) {
        added_[k->added].text = entry;
    } else {
        // The line of text_ stays where it is in the output and takes the new text.
        k->added = int(added_.size());
        added_.append(AddedLine{entry});
        patches_[k->begin].replacement = k->added;
    }
}

int IniFile::addLineAfter(const Line& line, const QByteArray& text)
{
    const int id = int(added_.size());
    added_.append(AddedLine{text});
    if (line.added >= 0) {
        added_[id].next = added_[line.added].next;
        added_[line.added].next = id;
        if (lastAdded_ == line.added)
            lastAdded_ = id;
        return id;
    }
    // First at the start of the next line of text_: what was added there before belongs
    // after this line (new sections at the end of the document).
    const qsizetype at = line.end + 2;
    Patch& patch = patches_[at];
    added_[id].next = patch.inserted;
    patch.inserted = id;
    if (at == text_.size() && added_[id].next < 0)
        lastAdded_ = id;
    return id;
}

int IniFile::addLineAtEnd(const QByteArray& text)
{
    if (lastAdded_ >= 0)
        return addLineAfter(Line{0, 0, lastAdded_}, text);
    const int id = int(added_.size());
    added_.append(AddedLine{text});
    patches_[text_.size()].inserted = id;
    lastAdded_ = id;
    return id;
}

void IniFile::setInt(const QByteArray& section, const QByteArray& key, qint64 value)
{
    setValue(section, key, QByteArray::number(value));
}

QByteArray IniFile::toBytes() const
{
    if (patches_.isEmpty())
        return text_;
    qsizetype size = text_.size();
    for (const AddedLine& line : added_)
        size += line.text.size() + 2;
    QByteArray out;
    out.reserve(size);
    const auto appendLine = [&out](const QByteArray& text) {
        out += text;
        out += "\r\n";
    };
    qsizetype pos = 0; // text_ up to here is in out
    for (auto it = patches_.cbegin(); it != patches_.cend(); ++it) {
        out.append(text_.constData() + pos, it.key() - pos);
        pos = it.key();
        for (int i = it->inserted; i >= 0; i = added_[i].next)
            appendLine(added_[i].text);
        if (it->replacement >= 0) {
            appendLine(added_[it->replacement].text);
            pos = text_.indexOf('\n', pos) + 1;
        }
    }
    out.append(text_.constData() + pos, text_.size() - pos);
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
