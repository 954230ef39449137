#include "config/cp1251.h"
#include "config/profile.h"
#include "config/rd_wr_ini.h"
#include "support/file_bytes.h"
#include "support/odd_paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

class ConnSettingsFile : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path = dir.filePath("qel_conn.ini");
    ConnSettingsState state;

    void read() { ReadConnSettings(state, path); }
    bool write(QString* error = nullptr) { return WriteConnSettings(state, path, error); }
};

Abonent makeAbonent(const char* name, std::array<quint8, 4> ip, qint32 port = 50000)
{
    Abonent a;
    SetAbonentName(a, name);
    a.ip_adr = ip;
    a.port = port;
    return a;
}

} // namespace

TEST_F(ConnSettingsFile, MissingFileGivesTheDefaults)
{
    read();
    const ConnSettings& s = state.cur;
    EXPECT_EQ(s.Conn_Prz, 0);
    EXPECT_EQ(s.COMPort, 1);
    EXPECT_EQ(s.Rate, 9600);
    EXPECT_EQ(s.Repeat, 1);
    EXPECT_EQ(s.TimeOut, 100);
    EXPECT_EQ(s.WaitTime, 2);
    EXPECT_EQ(s.book, AbonentBook{});
    EXPECT_EQ(s.EthRepeat, 10);
    EXPECT_TRUE(s.VerifyWrites);
    EXPECT_EQ(s.SearchInterfaces, QStringList());
    EXPECT_EQ(state.saved, s);
    EXPECT_FALSE(QFileInfo::exists(path)) << "reading never creates the file";
}

TEST_F(ConnSettingsFile, FreshFileWithOneAbonentComesOutByteForByte)
{
    read();
    state.cur.Conn_Prz = 1;
    state.cur.book.users_num = 1;
    state.cur.book.abonents[0] = makeAbonent("Stand 1", {192, 168, 1, 100});
    // Force the serial group to count as changed, with the values it already has.
    state.saved.COMPort = 0;
    ASSERT_TRUE(write());
    EXPECT_EQ(FileBytes(path), QByteArray("[CURR_PAR]\r\nConn_Prz=1\r\n"
                                          "[DIR_CONN_PAR]\r\nCOMPort=1\r\nRate=9600\r\nRepeat=1\r\n"
                                          "TimeOut=100\r\nWaitTime=2\r\n"
                                          "[ETHERNET_CONN_PAR]\r\nRepeat=10\r\n"
                                          "[ABONENTS_CURR_PAR]\r\nusers_num=1\r\nuser_index=0\r\n"
                                          "sort_prz=0\r\n"
                                          "[ETHERNET_ABONENT_1]\r\nuser_name=Stand 1\r\n"
                                          "ip_adr=1677830336\r\nport=50000\r\n"));
    ConnSettingsState again;
    ReadConnSettings(again, path);
    EXPECT_EQ(again.cur, state.cur);
}

TEST_F(ConnSettingsFile, WritesOnlyWhatChanged)
{
    const QByteArray original =
        "[CURR_PAR]\r\nConn_Prz=0\r\n; operator's note\r\n[FOREIGN]\r\nx=1\r\n";
    PutFile(path, original);
    read();
    // Nothing changed: the file is not even opened, so a path that cannot be written passes.
    QFile::remove(path);
    ASSERT_TRUE(write());
    EXPECT_FALSE(QFileInfo::exists(path));
    PutFile(path, original);

    state.cur.Conn_Prz = 1;
    ASSERT_TRUE(write());
    EXPECT_EQ(FileBytes(path), QByteArray("[CURR_PAR]\r\nConn_Prz=1\r\n; operator's note\r\n"
                                          "[FOREIGN]\r\nx=1\r\n"));

    state.cur.book.users_num = 1;
    state.cur.book.abonents[0] = makeAbonent("A", {10, 0, 0, 200});
    ASSERT_TRUE(write());
    const QByteArray bytes = FileBytes(path);
    EXPECT_FALSE(bytes.contains("DIR_CONN_PAR"));
    EXPECT_TRUE(bytes.contains("[ETHERNET_CONN_PAR]\r\nRepeat=10\r\n"));
    EXPECT_TRUE(bytes.contains("ip_adr=-939524086\r\n"));
}

// The program group lives in [QEL2_SERV] and is written only when it changed; its other keys,
// the other sections and the operator's lines stay as they were.
TEST_F(ConnSettingsFile, ProgramGroupRoundTripsInItsOwnSection)
{
    const QByteArray original = "[CURR_PAR]\r\nConn_Prz=0\r\n"
                                "[QEL2_SERV]\r\n; kept\r\nLanguage=uk\r\n"
                                "[FOREIGN]\r\nx=1\r\n";
    PutFile(path, original);
    read();
    state.cur.Conn_Prz = 1;
    ASSERT_TRUE(write());
    EXPECT_EQ(FileBytes(path), QByteArray(original).replace("Conn_Prz=0", "Conn_Prz=1"))
        << "an unchanged program group is not written";

    state.cur.VerifyWrites = false;
    state.cur.SearchInterfaces = {"eth0", "enp3s0"};
    ASSERT_TRUE(write());
    EXPECT_EQ(FileBytes(path), QByteArray("[CURR_PAR]\r\nConn_Prz=1\r\n"
                                          "[QEL2_SERV]\r\n; kept\r\nLanguage=uk\r\n"
                                          "VerifyWrites=0\r\nSearchInterfaces=eth0,enp3s0\r\n"
                                          "[FOREIGN]\r\nx=1\r\n"));
    ConnSettingsState again;
    ReadConnSettings(again, path);
    EXPECT_EQ(again.cur, state.cur);

    // Back to every interface and verification on: the keys are replaced in place.
    state.cur.VerifyWrites = true;
    state.cur.SearchInterfaces.clear();
    ASSERT_TRUE(write());
    EXPECT_TRUE(FileBytes(path).contains("VerifyWrites=1\r\nSearchInterfaces=\r\n[FOREIGN]"));
    ReadConnSettings(again, path);
    EXPECT_EQ(again.cur, state.cur);
}

TEST_F(ConnSettingsFile, ProgramGroupOddValues)
{
    struct Case {
        QByteArray lines;
        bool verify;
        QStringList interfaces;
    };
    const Case cases[] = {
        {"VerifyWrites=0\r\n", false, {}},
        {"VerifyWrites=2\r\n", true, {}},
        {"VerifyWrites=off\r\n", true, {}}, // not a number: the default
        {"verifywrites = 0 \r\n", false, {}},
        {"SearchInterfaces= eth0 , ,wlan0,\r\n", true, {"eth0", "wlan0"}},
        {"SearchInterfaces=,\r\n", true, {}},
        // A lone CR inside the value reads as the blank a write makes of it.
        {"SearchInterfaces=eth0\rwlan0,\rlo\r\n", true, {"eth0 wlan0", "lo"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines.constData());
        PutFile(path, "[QEL2_SERV]\r\n" + c.lines);
        read();
        EXPECT_EQ(state.cur.VerifyWrites, c.verify);
        EXPECT_EQ(state.cur.SearchInterfaces, c.interfaces);
        // Written back with the group changed, it reads the same.
        state.cur.VerifyWrites = !state.cur.VerifyWrites;
        ASSERT_TRUE(write());
        ConnSettingsState again;
        ReadConnSettings(again, path);
        EXPECT_EQ(again.cur, state.cur);
    }
}

TEST_F(ConnSettingsFile, ShrunkBookLeavesOldSectionsWhichAreNotReadBack)
{
    read();
    state.cur.book.users_num = 5;
    for (int i = 0; i < 5; ++i)
        state.cur.book.abonents[size_t(i)] = makeAbonent("N", {1, 2, 3, quint8(i)});
    ASSERT_TRUE(write());
    state.cur.book.users_num = 3;
    state.cur.book.abonents[3] = Abonent{};
    state.cur.book.abonents[4] = Abonent{};
    ASSERT_TRUE(write());
    EXPECT_TRUE(FileBytes(path).contains("[ETHERNET_ABONENT_5]"));
    ConnSettingsState again;
    ReadConnSettings(again, path);
    EXPECT_EQ(again.cur.book.users_num, 3);
    EXPECT_EQ(again.cur.book, state.cur.book);
}

TEST_F(ConnSettingsFile, OddValuesReadWithDefaultsAndCuts)
{
    const QByteArray longName(60, 'n');
    PutFile(path,
            "[DIR_CONN_PAR]\nCOMPort=257\nRate=junk\nRepeat=-1\nTimeOut=99999999999\n"
            "WaitTime=0x10\n"
            "[ETHERNET_CONN_PAR]\nRepeat=3\n"
            "[ABONENTS_CURR_PAR]\nusers_num=3\nuser_index=250\nsort_prz=1\n"
            "[ETHERNET_ABONENT_1]\nuser_name=" +
                longName +
                "\nip_adr=1677830336\nport=7\n"
                "[ETHERNET_ABONENT_3]\nuser_name=\xcf\xf0\xe8\xeb\xe0\xe4\n"); // no final newline
    read();
    const ConnSettings& s = state.cur;
    EXPECT_EQ(s.COMPort, 1);   // 257 cut to its low byte
    EXPECT_EQ(s.Rate, 9600);   // not a number: default
    EXPECT_EQ(s.Repeat, 255);  // -1 cut to its low byte
    EXPECT_EQ(s.TimeOut, 100); // beyond 32 bits: default
    EXPECT_EQ(s.WaitTime, 16);
    EXPECT_EQ(s.EthRepeat, 10); // never read from the file
    EXPECT_EQ(s.book.users_num, 3);
    EXPECT_EQ(AbonentName(s.book.abonents[0]), QString(49, 'n'));
    EXPECT_EQ(s.book.abonents[0].user_name[49], 0);
    EXPECT_EQ(s.book.abonents[0].ip_adr, (std::array<quint8, 4>{192, 168, 1, 100}));
    EXPECT_EQ(s.book.abonents[0].port, 7);
    // The missing section 2 gives an empty, zero-address abonent on the default port.
    EXPECT_EQ(AbonentName(s.book.abonents[1]), QString());
    EXPECT_EQ(s.book.abonents[1].ip_adr, (std::array<quint8, 4>{0, 0, 0, 0}));
    EXPECT_EQ(s.book.abonents[1].port, 50000);
    EXPECT_EQ(AbonentName(s.book.abonents[2]), QStringLiteral("Прилад"));
    // user_index 250 points outside the used records: there is no current abonent.
    EXPECT_EQ(s.book.user_index, 250);
    EXPECT_EQ(CurrentAbonent(s), nullptr);
}

// An abonent name read from the file is what the writer writes back unchanged (control
// characters become blanks, the name is cut to 49 bytes, blanks at its ends are dropped),
// so a read, a write and a read again give the same settings and a second write the same
// file.
TEST_F(ConnSettingsFile, AbonentNameReadFromTheFileRoundTripsExactly)
{
    struct Case {
        QByteArray value; // after "user_name=", up to the line's CRLF
        QByteArray name;  // the name after the first read
    };
    const QByteArray letters(48, 'n');
    const Case cases[] = {
        {QByteArray("x\t\0", 3), "x"},
        {letters + " tail", letters}, // the cut ends in a blank
        {"a\rb", "a b"},
        {"ab\r\r", "ab"},
        {"\x01\x1F lead", "lead"},
        {letters + "\tz", letters},
        {letters + "yz", letters + 'y'},
        {"\xcf\xf0\xe8\xeb\xe0\xe4 %1", "\xcf\xf0\xe8\xeb\xe0\xe4 %1"},
    };
    // Every group counts as changed, so that each write writes the whole file.
    const auto writeAll = [this] {
        state.saved = ConnSettings{};
        return write();
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.toStdString());
        PutFile(path, "[ABONENTS_CURR_PAR]\r\nusers_num=1\r\n"
                      "[ETHERNET_ABONENT_1]\r\nuser_name=" +
                          c.value + "\r\nip_adr=1677830336\r\n");
        read();
        const ConnSettings first = state.cur;
        Abonent want = makeAbonent(c.name.constData(), {192, 168, 1, 100});
        EXPECT_EQ(first.book.abonents[0], want);

        ASSERT_TRUE(writeAll());
        const QByteArray written = FileBytes(path);
        read();
        EXPECT_EQ(state.cur, first) << "the settings, byte for byte";
        ASSERT_TRUE(writeAll());
        EXPECT_EQ(FileBytes(path), written);
    }
}

TEST_F(ConnSettingsFile, HugeAbonentCountIsCutToTheBook)
{
    for (const char* value : {"255", "-1", "1000"}) {
        QByteArray file =
            QByteArray("[ABONENTS_CURR_PAR]\r\nusers_num=") + value + "\r\nuser_index=199\r\n";
        for (int i = 1; i <= 260; ++i)
            file += "[ETHERNET_ABONENT_" + QByteArray::number(i) + "]\r\nuser_name=n" +
                    QByteArray::number(i) + "\r\n";
        PutFile(path, file);
        read();
        const int expected = std::min(200, int(quint8(QByteArray(value).toInt())));
        EXPECT_EQ(state.cur.book.users_num, expected) << value;
        if (expected > 199) {
            ASSERT_NE(CurrentAbonent(state.cur), nullptr);
            EXPECT_EQ(AbonentName(*CurrentAbonent(state.cur)), QStringLiteral("n200"));
        }
    }
}

TEST_F(ConnSettingsFile, BinaryJunkReadsAsDefaults)
{
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk += char((i * 7919) & 0xFF);
    PutFile(path, junk);
    read();
    EXPECT_EQ(state.cur.COMPort, 1);
    EXPECT_EQ(state.cur.book.users_num, 0);
}

TEST_F(ConnSettingsFile, FailedWriteKeepsFileAndSavedCopyStale)
{
    // The INI "directory" is a regular file, so the settings file can be written by nobody.
    const QString blocked = dir.filePath("INI");
    {
        QFile f(blocked);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    const QString badPath = blocked + "/qel_conn.ini";
    ReadConnSettings(state, badPath);
    state.cur.Conn_Prz = 1;
    QString error;
    EXPECT_FALSE(WriteConnSettings(state, badPath, &error));
    EXPECT_TRUE(error.startsWith("Unable to write to " + QDir::toNativeSeparators(badPath)))
        << error.toStdString();
    EXPECT_EQ(state.saved.Conn_Prz, 0) << "the saved copy stays stale so the next write retries";

    // Once the directory can be written, the same state writes.
    ASSERT_TRUE(QFile::remove(blocked));
    ASSERT_TRUE(QDir(dir.path()).mkdir("INI"));
    EXPECT_TRUE(WriteConnSettings(state, badPath, &error));
    EXPECT_EQ(state.saved, state.cur);
}

// A settings path that cannot be read gives the defaults, and the next write refuses to
// replace it, since what it holds would be lost. The largest file that is read is read and,
// with a value of the same length changed, written again.
TEST_F(ConnSettingsFile, UnreadableFileReadsAsDefaultsAndIsNotReplaced)
{
    const OddPaths odd("[CURR_PAR]\r\nConn_Prz=1\r\n");
    for (const OddPath& c : odd.rows()) {
        SCOPED_TRACE(c.what);
        const QFileInfo before(c.path);
        const QByteArray bytes = before.isFile() ? FileBytes(c.path) : QByteArray();
        ReadConnSettings(state, c.path);
        const bool readable = c.reason.isEmpty();
        EXPECT_EQ(state.cur.Conn_Prz, readable ? 1 : 0);
        EXPECT_EQ(state.cur.COMPort, 1);
        EXPECT_EQ(state.cur.EthRepeat, 10);

        state.cur.Conn_Prz = readable ? 0 : 1;
        QString error;
        EXPECT_EQ(WriteConnSettings(state, c.path, &error), readable);
        if (readable) {
            QByteArray changed = bytes;
            changed.replace("Conn_Prz=1", "Conn_Prz=0");
            EXPECT_EQ(FileBytes(c.path), changed);
        } else {
            EXPECT_EQ(error.section('\n', 0, 0), UnableToWriteText(c.path));
            EXPECT_EQ(error.section('\n', 1), c.reason);
            EXPECT_EQ(QFileInfo(c.path).isFile(), before.isFile());
            if (before.isFile()) {
                EXPECT_EQ(FileBytes(c.path), bytes);
            }
        }
    }
}

TEST(ConnSettingsAddresses, SignedLittleEndianIntegers)
{
    struct Case {
        std::array<quint8, 4> ip;
        qint32 value;
    };
    for (const Case& c : {Case{{192, 168, 1, 100}, 1677830336}, Case{{10, 0, 0, 200}, -939524086},
                          Case{{255, 255, 255, 255}, -1}, Case{{0, 0, 0, 0}, 0}}) {
        EXPECT_EQ(AddressToInt(c.ip), c.value);
        EXPECT_EQ(IntToAddress(c.value), c.ip);
    }
}
