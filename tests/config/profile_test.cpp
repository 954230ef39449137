#include "config/profile.h"
#include "support/file_bytes.h"
#include "support/odd_paths.h"
#include "support/unprivileged.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ParseIniInt, AcceptsSigned32BitDecimalAndHexOnly)
{
    struct Case {
        const char* text;
        std::optional<qint32> value;
    };
    const Case cases[] = {
        {"0", 0},
        {"  42  ", 42},
        {"+7", 7},
        {"-1", -1},
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<qint32>::min()},
        {"0x1F", 31},
        {"0XfF", 255},
        {"-0x10", -16},
        {"0x7FFFFFFF", 2147483647},
        {"2147483648", std::nullopt},
        {"3355552000", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"0x80000000", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"-", std::nullopt},
        {"0x", std::nullopt},
        {"abc", std::nullopt},
        {"12abc", std::nullopt},
        {"1 2", std::nullopt},
        {"1.5", std::nullopt},
        {"0x1G", std::nullopt},
        {"\xff\xfe", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseIniInt(c.text), c.value) << '"' << c.text << '"';
}

TEST(IniFile, ReadsLikeThePrivateProfileFunctions)
{
    const IniFile ini(QByteArray("; comment\r\n"
                                 "[Alpha]\r\n"
                                 "  Key1 =  value one  \r\n"
                                 "key1=shadowed\r\n"
                                 "Num=0x10\n"
                                 "Bad=12x\n"
                                 "noequals\n"
                                 "[ alpha ]\n"
                                 "Other=second section\n"
                                 "[Beta]\n"
                                 "Empty=\n"
                                 "last=no final newline"));
    struct Case {
        const char* section;
        const char* key;
        std::optional<QByteArray> value;
    };
    const Case cases[] = {
        {"Alpha", "Key1", QByteArray("value one")},
        {"ALPHA", "KEY1", QByteArray("value one")}, // first key wins, case ignored
        {"Alpha", "Other", std::nullopt},           // only the first matching section counts
        {"Alpha", "noequals", std::nullopt},
        {"Beta", "Empty", QByteArray("")},
        {"beta", "LAST", QByteArray("no final newline")},
        {"Gamma", "Key1", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ini.value(c.section, c.key), c.value) << c.section << '/' << c.key;
    EXPECT_EQ(ini.readInt("Alpha", "Num", 5), 16);
    EXPECT_EQ(ini.readInt("Alpha", "Bad", 5), 5);
    EXPECT_EQ(ini.readInt("Alpha", "Missing", -3), -3);
    EXPECT_EQ(ini.readString("Beta", "Missing", "dflt"), QByteArray("dflt"));
}

TEST(IniFile, WritesInPlaceAndKeepsEverythingElse)
{
    IniFile ini(QByteArray("; keep me\n"
                           "[First]\n"
                           "A=1\n"
                           "Foreign=x \xc0\xc1\n"
                           "\n"
                           "[Second]\n"
                           "B=2"));
    ini.setValue("first", "a", "10");  // replaced in place, under the caller's spelling
    ini.setValue("First", "New", "n"); // after the last entry, before the blank line
    ini.setValue("Second", "C", "3");  // at the end of the last section
    ini.setValue("Third", "D", "4");   // a new section at the end
    ini.setInt("Third", "E", -939415360);
    EXPECT_EQ(ini.toBytes(), QByteArray("; keep me\r\n"
                                        "[First]\r\n"
                                        "a=10\r\n"
                                        "Foreign=x \xc0\xc1\r\n"
                                        "New=n\r\n"
                                        "\r\n"
                                        "[Second]\r\n"
                                        "B=2\r\n"
                                        "C=3\r\n"
                                        "[Third]\r\n"
                                        "D=4\r\n"
                                        "E=-939415360\r\n"));
}

// Whatever a caller passes, one entry is one line: CR and LF become blanks, in a new section
// and key as in a value that replaces another.
TEST(IniFile, LineEndsInNamesAndValuesBecomeBlanks)
{
    IniFile ini(QByteArray("[S]\r\nk=old\r\n"));
    ini.setValue("S", "k", "x\r\n[T]\nuser_index=7\r");
    ini.setValue("N\r\nM", "key\n2", "a\rb");
    const QByteArray bytes = ini.toBytes();
    EXPECT_EQ(bytes, QByteArray("[S]\r\n"
                                "k=x  [T] user_index=7 \r\n"
                                "[N  M]\r\n"
                                "key 2=a b\r\n"));
    const IniFile reread(bytes);
    EXPECT_EQ(reread.value("S", "k"), QByteArray("x  [T] user_index=7"));
    EXPECT_EQ(reread.value("T", "user_index"), std::nullopt);
    EXPECT_EQ(reread.value("N  M", "key 2"), QByteArray("a b"));
    EXPECT_EQ(ini.value("N  M", "key 2"), QByteArray("a b"));
}

class IniFileOnDisk : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
};

TEST_F(IniFileOnDisk, MissingFileLoadsEmptyAndSaveCreatesIt)
{
    IniFile ini;
    ASSERT_TRUE(ini.load(path("new.ini")));
    ini.setValue("S", "K", "V");
    QString error;
    ASSERT_TRUE(ini.save(path("new.ini"), &error)) << error.toStdString();
    EXPECT_EQ(FileBytes(path("new.ini")), QByteArray("[S]\r\nK=V\r\n"));
}

// Targets that cannot be written for any user, root included: a "directory" that is a
// regular file, and a path that is a directory.
TEST_F(IniFileOnDisk, FailedSaveLeavesTheOldFileAndNamesIt)
{
    const QByteArray old = "[S]\r\nK=old\r\n";
    PutFile(path("notadir"), old);
    QDir(dir.path()).mkdir("adir");
    for (const QString& target : {path("notadir/in.ini"), path("adir")}) {
        IniFile ini;
        ini.setValue("S", "K", "new");
        QString error;
        EXPECT_FALSE(ini.save(target, &error)) << target.toStdString();
        EXPECT_TRUE(error.startsWith(UnableToWriteText(target))) << error.toStdString();
        EXPECT_GT(error.size(), UnableToWriteText(target).size()) << "the reason is given";
    }
    EXPECT_EQ(FileBytes(path("notadir")), old);
}

// A read-only file and a file in a read-only directory. Root ignores permissions, so the
// case runs as nobody.
TEST_F(IniFileOnDisk, ReadOnlyFileOrDirectoryIsNotReplaced)
{
    RUN_UNPRIVILEGED();
    const QByteArray old = "[S]\r\nK=old\r\n";
    QDir(dir.path()).mkdir("locked");
    const QString inLocked = path("locked/in.ini");
    const QString readOnly = path("ro.ini");
    PutFile(inLocked, old);
    PutFile(readOnly, old);
    QFile::setPermissions(readOnly, QFile::ReadOwner);
    QFile::setPermissions(path("locked"), QFile::ReadOwner | QFile::ExeOwner);
    const bool enforced = !QFile(path("locked/probe")).open(QIODevice::WriteOnly);
    if (enforced) {
        for (const QString& target : {inLocked, readOnly}) {
            IniFile ini;
            ASSERT_TRUE(ini.load(target));
            ini.setValue("S", "K", "new");
            QString error;
            EXPECT_FALSE(ini.save(target, &error)) << target.toStdString();
            EXPECT_TRUE(error.startsWith(UnableToWriteText(target)));
            EXPECT_EQ(FileBytes(target), old);
        }
    }
    QFile::setPermissions(path("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!enforced)
        GTEST_SKIP() << "file permissions are not enforced for this user";
}

// Only a regular file up to the limit is read; anything else is refused with the path and
// the reason and leaves the document empty, and a FIFO is never opened, so nothing blocks.
TEST_F(IniFileOnDisk, LoadsOnlyRegularFilesUpToTheLimit)
{
    const OddPaths odd("[S]\r\nK=big\r\n");
    struct Case {
        OddPath file;
        IniFile::IfMissing ifMissing;
    };
    QList<Case> cases;
    for (const OddPath& p : odd.rows())
        cases.append({p, IniFile::IfMissing::Empty});
    cases.append(
        {{"no file, taken as empty", path("none.ini"), QString()}, IniFile::IfMissing::Empty});
    cases.append({{"no file, where one must be", path("none.ini"), "no such file"},
                  IniFile::IfMissing::Fail});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.what);
        IniFile ini(QByteArray("[Old]\r\nx=1\r\n"));
        QString error;
        const bool read = ini.load(c.file.path, &error, c.ifMissing);
        EXPECT_EQ(ini.value("Old", "x"), std::nullopt) << "nothing of the old document is left";
        if (c.file.reason.isEmpty()) {
            EXPECT_TRUE(read) << error.toStdString();
            if (QFileInfo::exists(c.file.path)) {
                EXPECT_EQ(ini.value("s", "k"), QByteArray("big"));
            }
        } else {
            EXPECT_FALSE(read);
            EXPECT_EQ(error, UnableToReadText(c.file.path) + '\n' + c.file.reason);
            EXPECT_TRUE(ini.toBytes().isEmpty());
        }
    }
}

// The writer never makes a file its reader would refuse: a document of exactly the limit is
// saved, one byte more is refused and the old file stays.
TEST_F(IniFileOnDisk, SaveStopsAtTheSizeTheReaderTakes)
{
    const QString target = path("big.ini");
    const QByteArray old = "[S]\r\nK=old\r\n";
    const qsizetype frame = QByteArray("[S]\r\nK=\r\n").size();
    struct Case {
        qint64 size;
        bool saved;
    };
    for (const Case& c : {Case{kMaxIniFileSize, true}, Case{kMaxIniFileSize + 1, false}}) {
        SCOPED_TRACE(c.size);
        PutFile(target, old);
        IniFile ini;
        ASSERT_TRUE(ini.load(target));
        ini.setValue("S", "K", QByteArray(qsizetype(c.size) - frame, 'v'));
        ASSERT_EQ(ini.toBytes().size(), c.size);
        QString error;
        EXPECT_EQ(ini.save(target, &error), c.saved);
        if (c.saved) {
            EXPECT_EQ(FileBytes(target), ini.toBytes());
            IniFile back;
            EXPECT_TRUE(back.load(target));
        } else {
            EXPECT_EQ(error.section('\n', 0, 0), UnableToWriteText(target));
            EXPECT_EQ(
                error.section('\n', 1),
                QStringLiteral("the file would be larger than %1 bytes").arg(kMaxIniFileSize));
            EXPECT_EQ(FileBytes(target), old);
        }
    }
}

namespace
{

// The rules of the INI layer done the plain way, one list of lines searched from the top
// for every lookup and write, to check the indexed document against.
class PlainIni
{
public:
    explicit PlainIni(const QByteArray& content)
    {
        if (content.isEmpty())
            return;
        lines_ = content.split('\n');
        if (content.endsWith('\n'))
            lines_.removeLast();
        for (QByteArray& line : lines_) {
            if (line.endsWith('\r'))
                line.chop(1);
        }
    }

    std::optional<QByteArray> value(const QByteArray& section, const QByteArray& key) const
    {
        const int k = findKey(findSection(section), key);
        if (k < 0)
            return std::nullopt;
        return trim(lines_[k].mid(lines_[k].indexOf('=') + 1));
    }

    void setValue(const QByteArray& section, const QByteArray& key, QByteArray value)
    {
        value.replace('\r', ' ').replace('\n', ' ');
        const QByteArray entry = trim(key) + '=' + value;
        const int s = findSection(section);
        if (s < 0) {
            lines_ << '[' + trim(section) + ']' << entry;
            return;
        }
        const int k = findKey(s, key);
        if (k >= 0) {
            lines_[k] = entry;
            return;
        }
        int last = s;
        for (int i = s + 1; i < lines_.size() && !header(lines_[i]); ++i) {
            if (!trim(lines_[i]).isEmpty())
                last = i;
        }
        lines_.insert(last + 1, entry);
    }

    QByteArray toBytes() const
    {
        QByteArray out;
        for (const QByteArray& line : lines_)
            out += line + "\r\n";
        return out;
    }

private:
    static QByteArray trim(QByteArray s)
    {
        while (!s.isEmpty() && (s.front() == ' ' || s.front() == '\t'))
            s.remove(0, 1);
        while (!s.isEmpty() && (s.back() == ' ' || s.back() == '\t'))
            s.chop(1);
        return s;
    }
    static std::optional<QByteArray> header(const QByteArray& line)
    {
        const QByteArray t = trim(line);
        if (!t.startsWith('['))
            return std::nullopt;
        const int close = int(t.indexOf(']'));
        return trim(close < 0 ? t.mid(1) : t.mid(1, close - 1));
    }
    int findSection(const QByteArray& section) const
    {
        for (int i = 0; i < lines_.size(); ++i) {
            const auto name = header(lines_[i]);
            if (name && name->toLower() == trim(section).toLower())
                return i;
        }
        return -1;
    }
    int findKey(int s, const QByteArray& key) const
    {
        if (s < 0)
            return -1;
        for (int i = s + 1; i < lines_.size() && !header(lines_[i]); ++i) {
            const int eq = int(lines_[i].indexOf('='));
            if (eq >= 0 && trim(lines_[i].left(eq)).toLower() == trim(key).toLower())
                return i;
        }
        return -1;
    }

    QList<QByteArray> lines_;
};

} // namespace

// Random writes into documents of every awkward shape: after each one the indexed document
// is byte for byte what the plain rules give, every lookup agrees with them, and a fresh
// read of what would be written holds the same.
TEST(IniFile, IndexFollowsEveryWriteAsThePlainRulesDo)
{
    const QByteArray documents[] = {
        "",
        "; only a comment",
        "loose=before any section\r\n"
        "[Alpha]\r\n"
        "k1=a\r\n"
        "\r\n"
        " \t\r\n"
        "[Dup]\n"
        "x=1\n"
        "[Beta] trailing text\r\n"
        "; a comment ends the section\r\n"
        "[dup]\r\n"
        "x=2\r\n"
        "y=3",
        "[Gamma]\n"
        "K2 = spaced \n"
        "k2=second\n"
        "\n"
        "\n",
        "[Alpha]\r\r\n"
        "k1=\r\r\n"
        "[ alpha ]\r\n"
        "k2=in the second Alpha\r\n"
        "[Beta\r\n"
        "x\r\n",
    };
    const QByteArray sections[] = {"Alpha", "alpha", " ALPHA ", "Beta",
                                   "Dup",   "Gamma", "New",     "NEW"};
    const QByteArray keys[] = {"k1", "K1", " k1 ", "k2", "x", "Y", "fresh"};
    const QByteArray values[] = {"v", "", " padded ", "a\rb", "two\nlines", "0x10", "\xc0\xc1"};
    // Many short walks rather than one long one: what matters most is the order in which
    // sections and keys first appear.
    QRandomGenerator gen(1251);
    for (const QByteArray& doc : documents) {
        SCOPED_TRACE(doc.toStdString());
        for (int walk = 0; walk < 60; ++walk) {
            IniFile ini(doc);
            PlainIni plain(doc);
            ASSERT_EQ(ini.toBytes(), plain.toBytes());
            QByteArray steps;
            for (int step = 0; step < 40; ++step) {
                const QByteArray& s = sections[gen.bounded(int(std::size(sections)))];
                const QByteArray& k = keys[gen.bounded(int(std::size(keys)))];
                const QByteArray& v = values[gen.bounded(int(std::size(values)))];
                steps += '[' + s + "] " + k + '=' + v + '\n';
                ini.setValue(s, k, v);
                plain.setValue(s, k, v);
                ASSERT_EQ(ini.toBytes(), plain.toBytes()) << steps.toStdString();
            }
            const IniFile reread(ini.toBytes());
            ASSERT_EQ(reread.toBytes(), ini.toBytes());
            for (const QByteArray& s : sections) {
                for (const QByteArray& k : keys) {
                    ASSERT_EQ(ini.value(s, k), plain.value(s, k)) << s.data() << '/' << k.data();
                    ASSERT_EQ(reread.value(s, k), plain.value(s, k)) << s.data() << '/' << k.data();
                }
            }
        }
    }
}
