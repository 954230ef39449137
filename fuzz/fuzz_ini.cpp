// IniFile on arbitrary bytes. The input is a header line "section key value" (split at the
// first two blanks) and the document after it. The key is written, the document serialised
// and read again: the key must read back as written and every other key of the document as
// before.

#include "fuzz_common.h"

#include "config/profile.h"

#include <QList>
#include <utility>

namespace
{
// A name the callers could use: letters, digits and '_' only.
QByteArray Name(QByteArray raw)
{
    for (char& c : raw) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (!((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9')))
            c = '_';
    }
    return raw.isEmpty() ? QByteArray("k") : raw.left(32);
}

// Blanks as IniFile trims them: spaces and tabs only.
QByteArray TrimBlanks(const QByteArray& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.mid(b, e - b);
}

QByteArray Fold(const QByteArray& s)
{
    return TrimBlanks(s).toLower();
}

// The (section, key) pairs a plain reading of the lines suggests; IniFile decides what they
// hold, this only chooses which keys to compare.
QList<std::pair<QByteArray, QByteArray>> Candidates(const QByteArray& doc)
{
    QList<std::pair<QByteArray, QByteArray>> out;
    QByteArray section;
    for (const QByteArray& raw : doc.split('\n')) {
        const QByteArray line = TrimBlanks(raw);
        if (line.startsWith('[')) {
            const qsizetype end = line.indexOf(']');
            section = TrimBlanks(line.mid(1, end < 0 ? -1 : end - 1));
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq > 0 && out.size() < 64)
            out.append({section, TrimBlanks(line.left(eq))});
    }
    return out;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzInitQt(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype nl = input.indexOf('\n');
    const QByteArray header = nl < 0 ? input : input.left(nl);
    const QByteArray doc = nl < 0 ? QByteArray() : input.mid(nl + 1);
    const QList<QByteArray> parts = header.split(' ');
    const QByteArray section = Name(parts.value(0));
    const QByteArray key = Name(parts.value(1));
    QByteArray value = parts.size() > 2 ? header.mid(parts[0].size() + parts[1].size() + 2) : "";

    IniFile ini(doc);
    const auto candidates = Candidates(doc);
    QList<std::optional<QByteArray>> before;
    for (const auto& c : candidates) {
        before.append(ini.value(c.first, c.second));
        (void)ini.readInt(c.first, c.second, 7);
    }

    // Unchanged, the serialised document reads as the original.
    {
        const IniFile again(ini.toBytes());
        for (int i = 0; i < candidates.size(); ++i)
            FUZZ_CHECK(again.value(candidates[i].first, candidates[i].second) == before[i]);
    }

    ini.setValue(section, key, value);
    const QByteArray bytes = ini.toBytes();
    const IniFile after(bytes);

    QByteArray expected = value;
    expected.replace('\r', ' ').replace('\n', ' ');
    expected = TrimBlanks(expected);
    if (ini.value(section, key) != expected)
        std::fprintf(stderr, "[%s] %s: wrote \"%s\", reads \"%s\"\n", section.constData(),
                     key.constData(), expected.toHex().constData(),
                     ini.value(section, key).value_or("(none)").toHex().constData());
    FUZZ_CHECK(ini.value(section, key) == expected);
    FUZZ_CHECK(after.value(section, key) == expected);
    for (int i = 0; i < candidates.size(); ++i) {
        if (Fold(candidates[i].first) == Fold(section) && Fold(candidates[i].second) == Fold(key))
            continue;
        FUZZ_CHECK(after.value(candidates[i].first, candidates[i].second) == before[i]);
    }
    return 0;
}
