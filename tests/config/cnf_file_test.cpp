#include "config/cnf_file.h"
#include "config/cp1251.h"
#include "config/profile.h"

#include "support/file_bytes.h"
#include "support/odd_paths.h"
#include "support/qt_printers.h"
#include "support/unprivileged.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

namespace
{

class CnfFile : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path = dir.filePath("dev.cnf");

    DeviceConfig readBytes(const QByteArray& bytes)
    {
        PutFile(path, bytes);
        DeviceConfig c;
        ReadCnfFile(path, c);
        return c;
    }
};

// What a file without any key reads as: the empty configuration, but with port 2 enabled.
DeviceConfig fileDefaults()
{
    DeviceConfig c;
    MakeEmptyConfig(c);
    c.is_port2 = 1;
    return c;
}

// A record with a distinct value in every field, the awkward ones included.
DeviceConfig fullRecord()
{
    DeviceConfig c;
    c.box_vers = 39;
    c.Mac_addres = {0x00, 0x1A, 0xB2, 0x0F, 0xFF, 0x80};
    SetBoxName(c, QStringLiteral("Стенд №1 ЇЄҐ abcdefg")); // exactly 20 characters
    c.is_port2 = 1;
    c.net = {{192, 168, 1, 200}, {192, 168, 1, 254}, {255, 255, 255, 128}, 1};
    c.ports[0] = {1, 502, {10, 0, 0, 255}, 65535, 230400, {2, 1, 7}, 255};
    c.ports[1] = {3, 65535, {172, 16, 200, 129}, 1, 300, {3, 4, 8}, 0};
    return c;
}

const char kExample[] = "[COMMON_PAR]\r\n"
                        "box_vers=39\r\n"
                        "Mac_addres[0]=0\r\n"
                        "Mac_addres[1]=0\r\n"
                        "Mac_addres[2]=0\r\n"
                        "Mac_addres[3]=0\r\n"
                        "Mac_addres[4]=0\r\n"
                        "Mac_addres[5]=0\r\n"
                        "box_name=\r\n"
                        "is_port2=0\r\n"
                        "[ETHERNEN_CONN_PAR]\r\n"
                        "ip_prz=0\r\n"
                        "ip_adr=-939415360\r\n"
                        "net_mask=16777215\r\n"
                        "gateway=0\r\n"
                        "[ETHERNEN_PORT_1]\r\n"
                        "regim=0\r\n"
                        "port=0\r\n"
                        "remote_ip_adr=0\r\n"
                        "remote_port=0\r\n"
                        "[COM_PORT_1]\r\n"
                        "rate=9600\r\n"
                        "port_sett[0]=1\r\n"
                        "port_sett[1]=4\r\n"
                        "port_sett[2]=8\r\n"
                        "timeout=1\r\n"
                        "[ETHERNEN_PORT_2]\r\n"
                        "regim=0\r\n"
                        "port=0\r\n"
                        "remote_ip_adr=0\r\n"
                        "remote_port=0\r\n"
                        "[COM_PORT_2]\r\n"
                        "rate=9600\r\n"
                        "port_sett[0]=1\r\n"
                        "port_sett[1]=4\r\n"
                        "port_sett[2]=8\r\n"
                        "timeout=1\r\n";

} // namespace

TEST_F(CnfFile, NewFileIsTheExampleByteForByte)
{
    DeviceConfig c;
    MakeEmptyConfig(c);
    c.net.ip_prz = 0;
    c.net.ip_adr = {192, 168, 1, 200};
    c.net.net_mask = {255, 255, 255, 0};
    QString error;
    ASSERT_TRUE(WriteCnfFile(c, path, &error)) << error.toStdString();
    EXPECT_EQ(FileBytes(path), QByteArray(kExample));

    DeviceConfig back;
    ReadCnfFile(path, back);
    EXPECT_EQ(back, c);
}

TEST_F(CnfFile, EveryFieldSurvivesAWriteAndARead)
{
    const DeviceConfig c = fullRecord();
    ASSERT_EQ(BoxNameBytes(c).size(), 20);
    ASSERT_TRUE(WriteCnfFile(c, path));
    DeviceConfig back;
    ReadCnfFile(path, back);
    EXPECT_EQ(back, c);
    EXPECT_EQ(back.box_name_end, 0);
    EXPECT_TRUE(FileBytes(path).contains("box_name=" + toCp1251(BoxName(c)) + "\r\n"));
}

TEST_F(CnfFile, ReadingRulesAndCuts)
{
    struct Case {
        const char* file;
        std::function<void(DeviceConfig&)> expect; // applied to the defaults of a file
    };
    const auto name200 = "[COMMON_PAR]\nbox_name=" + QByteArray(180, 'x') + QByteArray(20, 'y');
    const Case cases[] = {
        {"", [](DeviceConfig&) {}},
        {"[COMMON_PAR]\nbox_vers=295\n", [](DeviceConfig&) {}},
        {"[COMMON_PAR]\nbox_vers=40\n", [](DeviceConfig& e) { e.box_vers = 40; }},
        {"[COMMON_PAR]\nbox_vers=-1\n", [](DeviceConfig& e) { e.box_vers = 255; }},
        {"[COMMON_PAR]\nbox_vers=0x1F\n", [](DeviceConfig& e) { e.box_vers = 31; }},
        {"[COMMON_PAR]\nbox_vers=abc\n", [](DeviceConfig&) {}},
        {"[COMMON_PAR]\nbox_vers=\n", [](DeviceConfig&) {}},
        {"[COMMON_PAR]\nbox_vers=40abc\n", [](DeviceConfig&) {}},
        {"[common_par]\r\n  BOX_VERS = 40  \r\n", [](DeviceConfig& e) { e.box_vers = 40; }},
        {"[COMMON_PAR]\nMac_addres[0]=256\nMac_addres[5]=0xAB\n",
         [](DeviceConfig& e) { e.Mac_addres[5] = 0xAB; }},
        {"[COMMON_PAR]\nis_port2=5\n", [](DeviceConfig&) {}},
        {"[COMMON_PAR]\nis_port2=-1\n", [](DeviceConfig&) {}},
        {"[COMMON_PAR]\nis_port2=abc\n", [](DeviceConfig&) {}},
        {"[COMMON_PAR]\nis_port2=0\n", [](DeviceConfig& e) { e.is_port2 = 0; }},
        {"[COMMON_PAR]\nbox_name=Stand 1\n",
         [](DeviceConfig& e) { SetBoxNameBytes(e, "Stand 1"); }},
        {name200.constData(), [](DeviceConfig& e) { SetBoxNameBytes(e, QByteArray(20, 'x')); }},
        {"[ETHERNEN_CONN_PAR]\nip_adr=-939415360\n",
         [](DeviceConfig& e) {
             e.net.ip_adr = {192, 168, 1, 200};
         }},
        {"[ETHERNEN_CONN_PAR]\nip_adr=3355552000\n", [](DeviceConfig&) {}},
        {"[ETHERNEN_CONN_PAR]\nip_adr=0x1F\n",
         [](DeviceConfig& e) {
             e.net.ip_adr = {31, 0, 0, 0};
         }},
        {"[ETHERNEN_CONN_PAR]\nip_adr=-1\n",
         [](DeviceConfig& e) {
             e.net.ip_adr = {255, 255, 255, 255};
         }},
        {"[ETHERNEN_CONN_PAR]\nip_adr=abc\n", [](DeviceConfig&) {}},
        {"[ETHERNEN_CONN_PAR]\nip_prz=0\nnet_mask=16777215\ngateway=16885952\n",
         [](DeviceConfig& e) {
             e.net.ip_prz = 0;
             e.net.net_mask = {255, 255, 255, 0};
             e.net.gateway = {192, 168, 1, 1};
         }},
        {"[ETHERNEN_CONN_PAR]\nip_prz=257\n", [](DeviceConfig& e) { e.net.ip_prz = 1; }},
        {"[ETHERNEN_PORT_1]\nport=70000\nremote_port=-1\n",
         [](DeviceConfig& e) {
             e.ports[0].port = 4464;
             e.ports[0].remote_port = 65535;
         }},
        {"[ETHERNEN_PORT_2]\nregim=3\nremote_ip_adr=16885952\n",
         [](DeviceConfig& e) {
             e.ports[1].regim = 3;
             e.ports[1].remote_ip_adr = {192, 168, 1, 1};
         }},
        {"[COM_PORT_1]\nrate=-1\ntimeout=256\n",
         [](DeviceConfig& e) {
             e.ports[0].rate = 0xFFFFFFFFu;
             e.ports[0].timeout = 256;
         }},
        {"[COM_PORT_2]\nrate=abc\n port_sett[1] = 2 \nport_sett[2]=263\n",
         [](DeviceConfig& e) {
             e.ports[1].port_sett = {1, 2, 7};
         }},
        // The first of two sections of one name is the only one read.
        {"[COMMON_PAR]\nbox_vers=40\n[COMMON_PAR]\nbox_vers=41\nis_port2=0\n",
         [](DeviceConfig& e) { e.box_vers = 40; }},
        // A key outside its section does not count.
        {"box_vers=40\n[ETHERNEN_PORT_1]\nbox_vers=41\n", [](DeviceConfig&) {}},
    };
    for (const Case& c : cases) {
        DeviceConfig want = fileDefaults();
        c.expect(want);
        EXPECT_EQ(readBytes(c.file), want) << c.file;
    }
}

TEST_F(CnfFile, JunkFilesReadAsDefaults)
{
    QRandomGenerator gen(1251);
    QByteArray junk(64 * 1024, '\0');
    for (char& b : junk)
        b = char(gen.bounded(256));
    EXPECT_EQ(readBytes(junk), fileDefaults());

    EXPECT_EQ(readBytes(QByteArray(kMaxIniFileSize, '\xFF')), fileDefaults());
}

// A path that cannot be read gives the defaults and says why; the record is zero-filled
// first, so nothing of what it held is left. The largest file that is read still is.
TEST_F(CnfFile, UnreadablePathGivesTheDefaultsAndTheReason)
{
    const OddPaths odd("[COMMON_PAR]\r\nbox_name=big\r\n");
    QList<OddPath> cases = odd.rows();
    cases.append({"no file", dir.filePath("missing.cnf"), "no such file"});
    for (const OddPath& c : cases) {
        SCOPED_TRACE(c.what);
        DeviceConfig cfg = fullRecord();
        QString error;
        const bool read = ReadCnfFile(c.path, cfg, &error);
        DeviceConfig want = fileDefaults();
        if (c.reason.isEmpty()) {
            EXPECT_TRUE(read) << error.toStdString();
            SetBoxNameBytes(want, "big");
        } else {
            EXPECT_FALSE(read);
            EXPECT_EQ(error, UnableToReadText(c.path) + '\n' + c.reason);
        }
        EXPECT_EQ(cfg, want);
    }
}

TEST_F(CnfFile, HugeFileReadsAndKeepsItsForeignPartOnWrite)
{
    // Foreign entries in front of the configuration, up to a little below the size limit.
    QByteArray foreign = "[NOTES]\r\n";
    for (int i = 0; foreign.size() < kMaxIniFileSize - 4096; ++i)
        foreign += "note" + QByteArray::number(i) + "=some text that is not ours at all\r\n";
    ASSERT_TRUE(WriteCnfFile(fullRecord(), path));
    PutFile(path, foreign + FileBytes(path));

    DeviceConfig c;
    ReadCnfFile(path, c);
    EXPECT_EQ(c, fullRecord());

    DeviceConfig changed = c;
    changed.ports[1].rate = 9600;
    ASSERT_TRUE(WriteCnfFile(changed, path));
    const QByteArray after = FileBytes(path);
    EXPECT_TRUE(after.startsWith(foreign));
    ReadCnfFile(path, c);
    EXPECT_EQ(c, changed);
}

TEST_F(CnfFile, ExistingFileKeepsForeignKeysAndSections)
{
    PutFile(path, "; made by hand\r\n"
                  "[FOREIGN]\r\n"
                  "a=1\r\n"
                  "\r\n"
                  "[common_par]\r\n"
                  "BOX_VERS=12\r\n"
                  "owner=Petro\r\n"
                  "is_port2=1\r\n"
                  "\r\n"
                  "[COM_PORT_2]\n"
                  "timeout=9\n"
                  "[TAIL]\r\n"
                  "b=2\r\n");
    DeviceConfig c;
    MakeEmptyConfig(c);
    c.ports[1].timeout = 7;
    ASSERT_TRUE(WriteCnfFile(c, path));

    EXPECT_EQ(FileBytes(path), QByteArray("; made by hand\r\n"
                                          "[FOREIGN]\r\n"
                                          "a=1\r\n"
                                          "\r\n"
                                          "[common_par]\r\n"
                                          "box_vers=39\r\n"
                                          "owner=Petro\r\n"
                                          "is_port2=0\r\n"
                                          "Mac_addres[0]=0\r\n"
                                          "Mac_addres[1]=0\r\n"
                                          "Mac_addres[2]=0\r\n"
                                          "Mac_addres[3]=0\r\n"
                                          "Mac_addres[4]=0\r\n"
                                          "Mac_addres[5]=0\r\n"
                                          "box_name=\r\n"
                                          "\r\n"
                                          "[COM_PORT_2]\r\n"
                                          "timeout=7\r\n"
                                          "rate=9600\r\n"
                                          "port_sett[0]=1\r\n"
                                          "port_sett[1]=4\r\n"
                                          "port_sett[2]=8\r\n"
                                          "[TAIL]\r\n"
                                          "b=2\r\n"
                                          "[ETHERNEN_CONN_PAR]\r\n"
                                          "ip_prz=255\r\n"
                                          "ip_adr=0\r\n"
                                          "net_mask=0\r\n"
                                          "gateway=0\r\n"
                                          "[ETHERNEN_PORT_1]\r\n"
                                          "regim=0\r\n"
                                          "port=0\r\n"
                                          "remote_ip_adr=0\r\n"
                                          "remote_port=0\r\n"
                                          "[COM_PORT_1]\r\n"
                                          "rate=9600\r\n"
                                          "port_sett[0]=1\r\n"
                                          "port_sett[1]=4\r\n"
                                          "port_sett[2]=8\r\n"
                                          "timeout=1\r\n"
                                          "[ETHERNEN_PORT_2]\r\n"
                                          "regim=0\r\n"
                                          "port=0\r\n"
                                          "remote_ip_adr=0\r\n"
                                          "remote_port=0\r\n"));
    DeviceConfig back;
    ReadCnfFile(path, back);
    EXPECT_EQ(back, c);
}

// A name read from a file is what the writer writes back unchanged: control characters
// become blanks, the name is cut to its 20 bytes, and blanks at its ends are dropped, so a
// read, a write and a read again give the same record, and writing it again the same file.
TEST_F(CnfFile, NameReadFromAFileRoundTripsExactly)
{
    struct Case {
        QByteArray value; // after "box_name=", up to the line's CRLF
        QByteArray name;  // box_name after the first read
    };
    const Case cases[] = {
        {QByteArray("x\t\0", 3), "x"},
        {"abcdefghijklmnopqrs tail", "abcdefghijklmnopqrs"}, // the cut ends in a blank
        {"a\rb", "a b"},
        {"ab\r\r", "ab"},
        {"\x01\x1F lead", "lead"},
        {QByteArray("a\0b", 3), "a"},
        {"abcdefghijklmnopqr\t\tz", "abcdefghijklmnopqr"},
        {QByteArray(20, 'x') + "yz", QByteArray(20, 'x')},
        {"\xcf\xf0\xe8\xeb\xe0\xe4 \x7F", "\xcf\xf0\xe8\xeb\xe0\xe4 \x7F"},
        {"\r\r", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.toStdString());
        const DeviceConfig first = readBytes("[COMMON_PAR]\r\nbox_name=" + c.value + "\r\n");
        DeviceConfig want = fileDefaults();
        SetBoxNameBytes(want, c.name);
        EXPECT_EQ(first, want);
        EXPECT_EQ(BoxNameBytes(first), c.name);

        ASSERT_TRUE(WriteCnfFile(first, path));
        const QByteArray written = FileBytes(path);
        DeviceConfig second;
        ASSERT_TRUE(ReadCnfFile(path, second));
        EXPECT_EQ(second, first) << "the record, byte for byte";
        ASSERT_TRUE(WriteCnfFile(second, path));
        EXPECT_EQ(FileBytes(path), written);
    }
}

TEST_F(CnfFile, LineEndsInTheNameCannotAddLines)
{
    DeviceConfig c;
    MakeEmptyConfig(c);
    SetBoxNameBytes(c, "ab\r\n[X]\nbox_vers=1");
    ASSERT_TRUE(WriteCnfFile(c, path));
    const QByteArray bytes = FileBytes(path);
    EXPECT_TRUE(bytes.contains("box_name=ab  [X] box_vers=1\r\n"));
    EXPECT_EQ(bytes.count('\n'), QByteArray(kExample).count('\n'));
    DeviceConfig back;
    ReadCnfFile(path, back);
    EXPECT_EQ(BoxNameBytes(back), QByteArray("ab  [X] box_vers=1"));
    EXPECT_EQ(back.box_vers, 39);
}

// Some targets are refused only by permissions, which root ignores: run as nobody.
TEST_F(CnfFile, FailedWriteLeavesTheOldFileAndNamesThePath)
{
    RUN_UNPRIVILEGED();
    const QByteArray old = "[COMMON_PAR]\r\nbox_vers=40\r\nmine=1\r\n";
    struct Case {
        const char* what;
        std::function<QString()> prepare; // returns the path to write
        bool hasOldFile;
    };
    const Case cases[] = {
        {"the path is a directory",
         [&] {
             const QString p = dir.filePath("isdir.cnf");
             QDir().mkpath(p + "/inner");
             return p;
         },
         false},
        {"the directory is missing", [&] { return dir.filePath("nowhere/dev.cnf"); }, false},
        {"a file stands where the directory should be",
         [&] {
             PutFile(dir.filePath("plain"), "x");
             return dir.filePath("plain/dev.cnf");
         },
         false},
        {"no temporary file fits beside it",
         [&] {
             // A name at the length limit leaves no room for the temporary file's suffix.
             const QString p = dir.filePath(QString(251, QLatin1Char('n')) + ".cnf");
             PutFile(p, old);
             return p;
         },
         true},
        {"the directory is read-only",
         [&] {
             const QString d = dir.filePath("ro");
             QDir().mkpath(d);
             const QString p = d + "/dev.cnf";
             PutFile(p, old);
             QFile::setPermissions(d, QFile::ReadOwner | QFile::ExeOwner);
             return p;
         },
         true},
        {"the file is read-only",
         [&] {
             const QString p = dir.filePath("rofile.cnf");
             PutFile(p, old);
             QFile::setPermissions(p, QFile::ReadOwner);
             return p;
         },
         true},
        {"the file cannot be read, so its foreign keys would be lost",
         [&] {
             const QString p = dir.filePath("wofile.cnf");
             PutFile(p, old);
             QFile::setPermissions(p, QFile::WriteOwner);
             return p;
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString p = c.prepare();
        QString error;
        EXPECT_FALSE(WriteCnfFile(fullRecord(), p, &error));
        EXPECT_EQ(error.section(QLatin1Char('\n'), 0, 0), UnableToWriteText(p));
        EXPECT_FALSE(error.section(QLatin1Char('\n'), 1).isEmpty()) << "a reason follows";
        if (c.hasOldFile) {
            QFile::setPermissions(p, QFile::ReadOwner | QFile::WriteOwner);
            EXPECT_EQ(FileBytes(p), old);
        } else {
            EXPECT_FALSE(QFileInfo(p).isFile());
        }
    }
    QFile::setPermissions(dir.filePath("ro"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    for (const QString& f : left)
        EXPECT_TRUE(f == "plain" || f == "rofile.cnf" || f == "wofile.cnf" ||
                    f.endsWith("nnnn.cnf"))
            << f.toStdString();
}

// The writer never makes a file its own reader would refuse: keys that would take a file
// beyond the size limit are not written, and the old file stays as it was.
TEST_F(CnfFile, WriteThatWouldPassTheSizeLimitLeavesTheFile)
{
    const QByteArray full = PaddedFile("[COMMON_PAR]\r\nbox_vers=40\r\n", kMaxIniFileSize);
    PutFile(path, full);
    QString error;
    EXPECT_FALSE(WriteCnfFile(fullRecord(), path, &error));
    EXPECT_EQ(error.section(QLatin1Char('\n'), 0, 0), UnableToWriteText(path));
    EXPECT_EQ(error.section(QLatin1Char('\n'), 1),
              QStringLiteral("the file would be larger than %1 bytes").arg(kMaxIniFileSize));
    EXPECT_EQ(FileBytes(path), full);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"dev.cnf"})
        << "no temporary file is left";
}
