#include "config/cnf_file.h"
#include "config/operator.h"
#include "config/program.h"
#include "support/file_bytes.h"
#include "support/odd_paths.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_operator.h"
#include "support/unprivileged.h"

#include "support/qt_printers.h"
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

// A program directory of its own with an empty CONFIG directory.
class CnfFlow : public ::testing::Test
{
protected:
    QTemporaryDir tmp;
    QString savedProgramDir = Program().programDir;
    ScriptedOperator op;
    ScriptedDialogs dialogs;
    const QDateTime now{QDate(2023, 4, 28), QTime(10, 28, 59)};

    void SetUp() override
    {
        Program().programDir = tmp.path() + '/';
        ASSERT_TRUE(QDir().mkpath(ConfigDirPath()));
    }
    void TearDown() override { Program().programDir = savedProgramDir; }

    static QString cfgPath(const QString& name) { return ConfigDirPath() + '/' + name; }
    QStringList configFiles() const
    {
        QStringList names;
        QDir d(ConfigDirPath());
        for (const QFileInfo& fi : d.entryInfoList(QDir::Files, QDir::Name))
            names << fi.fileName();
        return names;
    }
};

constexpr char kOld[] = "old";

DeviceConfig record()
{
    DeviceConfig c;
    MakeEmptyConfig(c);
    c.ports[0].port = 502;
    return c;
}

QString question(const QString& name)
{
    return QStringLiteral("Файл %1 вже є.").arg(name);
}

} // namespace

TEST_F(CnfFlow, GeneratedNameCarriesVersionAndTimeToTheMinute)
{
    EXPECT_EQ(GeneratedCnfName(39, now), cfgPath("qel_2_39_2304281028.cnf"));
    EXPECT_EQ(GeneratedCnfName(39, QDateTime(QDate(2023, 4, 28), QTime(10, 28, 0))),
              GeneratedCnfName(39, now));
    EXPECT_EQ(GeneratedCnfName(7, QDateTime(QDate(2009, 1, 2), QTime(3, 4, 5))),
              cfgPath("qel_2_7_0901020304.cnf"));
}

TEST_F(CnfFlow, SaveNamingLoop)
{
    const QString gen = GeneratedCnfName(39, now);
    struct Case {
        const char* what;
        QStringList existing;  // files in CONFIG before the save
        QString proposed;      // empty: the generated name
        QStringList dialog;    // answers; "<offered>" confirms the offered name
        QList<bool> replies;   // answers to the replace question
        QStringList questions; // file names the replace question names
        QStringList offers;    // names the dialog offered, in order
        QString written;       // file that gets the record; empty: none
    };
    const QString off = ScriptedDialogs::offered();
    const Case cases[] = {
        {"new generated name", {}, {}, {off}, {}, {}, {gen}, gen},
        {"generated name exists, replace",
         {gen},
         {},
         {off},
         {true},
         {"qel_2_39_2304281028.cnf"},
         {gen},
         gen},
        {"\"Ні\", then the same name again writes without asking",
         {gen},
         {},
         {off, off},
         {false},
         {"qel_2_39_2304281028.cnf"},
         {gen, gen},
         gen},
        {"\"Ні\", then another existing name asks about that one",
         {gen, cfgPath("other.cnf")},
         {},
         {off, cfgPath("other.cnf")},
         {false, true},
         {"qel_2_39_2304281028.cnf", "other.cnf"},
         {gen, gen},
         cfgPath("other.cnf")},
        {"\"Ні\" twice, then the second name unchanged",
         {gen, cfgPath("other.cnf")},
         {},
         {off, cfgPath("other.cnf"), off},
         {false, false},
         {"qel_2_39_2304281028.cnf", "other.cnf"},
         {gen, gen, cfgPath("other.cnf")},
         cfgPath("other.cnf")},
        {"\"Ні\", then a new name",
         {gen},
         {},
         {off, cfgPath("fresh.cnf")},
         {false},
         {"qel_2_39_2304281028.cnf"},
         {gen, gen},
         cfgPath("fresh.cnf")},
        {"\"Ні\", then cancel",
         {gen},
         {},
         {off, {}},
         {false},
         {"qel_2_39_2304281028.cnf"},
         {gen, gen},
         {}},
        {"cancel", {}, {}, {{}}, {}, {}, {gen}, {}},
        {"the same file spelled otherwise is another name",
         {gen},
         {},
         {off, ConfigDirPath() + "/./qel_2_39_2304281028.cnf"},
         {false, true},
         {"qel_2_39_2304281028.cnf", "qel_2_39_2304281028.cnf"},
         {gen, gen},
         ConfigDirPath() + "/./qel_2_39_2304281028.cnf"},
        {"no extension, new: .cnf added",
         {},
         {},
         {cfgPath("mine")},
         {},
         {},
         {gen},
         cfgPath("mine.cnf")},
        {"no extension, .cnf version exists",
         {cfgPath("mine.cnf")},
         {},
         {cfgPath("mine")},
         {true},
         {"mine.cnf"},
         {gen},
         cfgPath("mine.cnf")},
        {"no extension, exists as typed",
         {cfgPath("mine")},
         {},
         {cfgPath("mine")},
         {true},
         {"mine"},
         {gen},
         cfgPath("mine")},
        {"another extension is kept",
         {},
         {},
         {cfgPath("notes.txt")},
         {},
         {},
         {gen},
         cfgPath("notes.txt")},
        {"a dot in the directory is no extension",
         {},
         {},
         {cfgPath("v1.2/mine")},
         {},
         {},
         {gen},
         cfgPath("v1.2/mine.cnf")},
        {"proposed name",
         {},
         cfgPath("Stand 1_240305_h14.cnf"),
         {off},
         {},
         {},
         {cfgPath("Stand 1_240305_h14.cnf")},
         cfgPath("Stand 1_240305_h14.cnf")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(ConfigDirPath()).removeRecursively();
        QDir().mkpath(ConfigDirPath() + "/v1.2");
        for (const QString& f : c.existing)
            PutFile(f, kOld);
        op.asked.clear();
        dialogs.requests.clear();
        for (bool r : c.replies)
            op.answer({r});
        for (const QString& a : c.dialog)
            dialogs.answer({a});

        const SaveOutcome saved = SaveConfigFile(record(), dialogs, c.proposed, now);

        QStringList offers;
        for (const FileDialogRequest& r : dialogs.requests)
            offers << r.fileName;
        EXPECT_EQ(offers, c.offers);

        QList<AskedMessage> want;
        for (const QString& q : c.questions)
            want.append({MsgQuestion, question(q), "Ви бажаєте замінити існуючий файл?"});
        if (!c.written.isEmpty())
            want.append({MsgNotice, "Параметри конфігурації",
                         "збережені в файлі " + QFileInfo(c.written).fileName()});
        ASSERT_EQ(op.asked.size(), want.size());
        for (int i = 0; i < want.size(); ++i) {
            EXPECT_EQ(op.asked[i].kind, want[i].kind) << i;
            EXPECT_EQ(op.asked[i].line1, want[i].line1) << i;
            EXPECT_EQ(op.asked[i].line2, want[i].line2) << i;
        }

        EXPECT_EQ(saved, c.written.isEmpty() ? SaveOutcome::Cancelled : SaveOutcome::Saved);
        if (!c.written.isEmpty()) {
            DeviceConfig back;
            ReadCnfFile(c.written, back);
            EXPECT_EQ(back, record());
        }
        // Every other file is untouched and nothing else appeared.
        for (const QString& f : c.existing) {
            if (QFileInfo(f).canonicalFilePath() != QFileInfo(c.written).canonicalFilePath()) {
                EXPECT_EQ(FileBytes(f), kOld) << f.toStdString();
            }
        }
        QStringList wantFiles;
        for (const QString& f : c.existing + QStringList{c.written}) {
            if (!f.isEmpty() && QFileInfo(f).absolutePath() == ConfigDirPath())
                wantFiles << QFileInfo(f).fileName();
        }
        wantFiles.removeDuplicates();
        wantFiles.sort();
        EXPECT_EQ(configFiles(), wantFiles);
    }
}

TEST_F(CnfFlow, SaveDialogIsAskedWithTitleDirectoryAndFilters)
{
    dialogs.answer({{}});
    SaveConfigFile(record(), dialogs, {}, now);
    ASSERT_EQ(dialogs.requests.size(), 1);
    const FileDialogRequest& r = dialogs.requests[0];
    EXPECT_EQ(r.title, QStringLiteral("Вибір файлу для запису параметрів конфігурації"));
    EXPECT_EQ(r.dir, ConfigDirPath());
    EXPECT_EQ(r.filters, QStringList({"Data Files (*.cnf)", "DataFiles (*.*)"}));
    EXPECT_EQ(r.filterIndex, 0);
    EXPECT_TRUE(op.asked.isEmpty());
}

TEST_F(CnfFlow, FailedSaveShowsTheErrorAndNoNotice)
{
    const QString p = cfgPath("missing/dev.cnf");
    dialogs.answer({p});
    EXPECT_EQ(SaveConfigFile(record(), dialogs, {}, now), SaveOutcome::Failed);
    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].kind, MsgError);
    EXPECT_EQ(op.asked[0].line1, "Unable to write to " + QDir::toNativeSeparators(p));
    EXPECT_FALSE(op.asked[0].line2.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(p));

    // Replacing a directory is refused the same way, after the replace question.
    op.asked.clear();
    QDir().mkpath(cfgPath("adir"));
    dialogs.answer({cfgPath("adir")});
    op.answer({true});
    EXPECT_EQ(SaveConfigFile(record(), dialogs, {}, now), SaveOutcome::Failed);
    ASSERT_EQ(op.asked.size(), 2);
    EXPECT_EQ(op.asked[0].line1, question("adir"));
    EXPECT_EQ(op.asked[1].kind, MsgError);
    EXPECT_EQ(op.asked[1].line1, "Unable to write to " + QDir::toNativeSeparators(cfgPath("adir")));
    EXPECT_TRUE(QFileInfo(cfgPath("adir")).isDir());
}

TEST_F(CnfFlow, OpenAcceptsOnlyAReadableFileOfTheSupportedVersion)
{
    struct Case {
        const char* what;
        QByteArray file; // written to CONFIG/pick.cnf; the dialog cancels when null
        bool accepted;
        quint8 boxVers;
        QString path = {};   // chosen instead of pick.cnf when given
        QString reason = {}; // why the chosen file cannot be read; empty when it can
    };
    QList<Case> cases = {
        {"cancel", QByteArray(), false, 0},
        {"version 39", "[COMMON_PAR]\r\nbox_vers=39\r\n", true, 39},
        {"295 is 39 in a byte", "[COMMON_PAR]\r\nbox_vers=295\r\n", true, 39},
        {"no version key", "[COMMON_PAR]\r\nbox_name=x\r\n", true, 39},
        {"empty file", "", true, 39},
        {"not an INI file",
         QByteArray("\x7F"
                    "ELF\0\0\x01\x02",
                    8),
         true, 39},
        {"version 40", "[COMMON_PAR]\r\nbox_vers=40\r\n", false, 40},
        {"gone before it was read", "", false, 39, cfgPath("gone.cnf"), "no such file"},
    };
    // Unreadable paths are refused with an error instead of opening as a record of defaults.
    const OddPaths odd("[COMMON_PAR]\r\nbox_vers=39\r\n");
    for (const OddPath& o : odd.rows())
        cases.append({o.what, "", o.reason.isEmpty(), 39, o.path, o.reason});
    const QString pick = cfgPath("pick.cnf");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        op.asked.clear();
        dialogs.requests.clear();
        const QString p = c.path.isEmpty() ? pick : c.path;
        if (c.file.isNull()) {
            dialogs.answer({{}});
        } else {
            if (c.path.isEmpty())
                PutFile(p, c.file);
            dialogs.answer({p});
        }
        DeviceConfig cfg;
        EXPECT_EQ(OpenConfigFile(cfg, dialogs), c.accepted);

        ASSERT_EQ(dialogs.requests.size(), 1);
        const FileDialogRequest& r = dialogs.requests[0];
        EXPECT_EQ(r.title, QStringLiteral("Вибір файлу з параметрами конфігурації"));
        EXPECT_EQ(r.dir, ConfigDirPath());
        EXPECT_EQ(r.filters, CnfFileFilters());
        EXPECT_EQ(r.filterIndex, 0);
        EXPECT_TRUE(r.fileName.isEmpty());

        if (c.file.isNull()) {
            EXPECT_TRUE(op.asked.isEmpty());
            EXPECT_EQ(cfg, DeviceConfig{});
            continue;
        }
        EXPECT_EQ(cfg.box_vers, c.boxVers);
        if (c.accepted) {
            EXPECT_TRUE(op.asked.isEmpty());
        } else if (!c.reason.isEmpty()) {
            ASSERT_EQ(op.asked.size(), 1);
            EXPECT_EQ(op.asked[0].kind, MsgError);
            EXPECT_EQ(op.asked[0].line1, "Unable to read " + QDir::toNativeSeparators(p));
            EXPECT_EQ(op.asked[0].line2, c.reason);
        } else {
            ASSERT_EQ(op.asked.size(), 1);
            EXPECT_EQ(op.asked[0].kind, MsgNotice);
            EXPECT_EQ(op.asked[0].line1, QStringLiteral("Файл pick.cnf не є файлом конфігурації"));
            EXPECT_EQ(op.asked[0].line2, QStringLiteral("пристрою QEL_2 версією 39"));
        }
    }
}

TEST(DeviceNameToFileName, ForbiddenAndControlCharactersBecomeUnderscores)
{
    EXPECT_EQ(FileNameFromDeviceName(QStringLiteral("a/b\\c:d*e?f\"g<h>i|j")),
              QStringLiteral("a_b_c_d_e_f_g_h_i_j"));
    EXPECT_EQ(FileNameFromDeviceName(QStringLiteral("x\ty\nz\r") + QChar(0x7F) + QChar(1)),
              QStringLiteral("x_y_z___"));
    EXPECT_EQ(FileNameFromDeviceName(QStringLiteral("../../etc/passwd")),
              QStringLiteral(".._.._etc_passwd"));
    EXPECT_EQ(FileNameFromDeviceName(QStringLiteral("Стенд №1 (кімн. 2)")),
              QStringLiteral("Стенд №1 (кімн. 2)"));
}

// A .cnf this user may not read is refused with its path and the system's reason, not opened
// as a record of defaults. Root reads any file, so the case runs as nobody.
TEST_F(CnfFlow, OpenRefusesAFileThatMayNotBeRead)
{
    RUN_UNPRIVILEGED();
    const QString p = cfgPath("locked.cnf");
    PutFile(p, "[COMMON_PAR]\r\nbox_vers=39\r\n");
    ASSERT_TRUE(QFile::setPermissions(p, QFile::WriteOwner));
    dialogs.answer({p});
    DeviceConfig cfg;
    EXPECT_FALSE(OpenConfigFile(cfg, dialogs));
    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].kind, MsgError);
    EXPECT_EQ(op.asked[0].line1, "Unable to read " + QDir::toNativeSeparators(p));
    EXPECT_FALSE(op.asked[0].line2.isEmpty()) << "the reason";
}
