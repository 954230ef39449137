#include "support/unprivileged.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <grp.h>
#include <iostream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

constexpr int kCannotSwitchUser = 125;

// The running test as --gtest_filter names it ("Suite.Name", "Prefix/Suite.Name/Param").
QString currentTestName()
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return QStringLiteral("%1.%2").arg(QString::fromUtf8(info->test_suite_name()),
                                       QString::fromUtf8(info->name()));
}

// This test program; the config tests run without a QCoreApplication to ask.
QString thisProgram()
{
    const QString self = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    return self.isEmpty() ? QCoreApplication::applicationFilePath() : self;
}

bool giveTo(const QString& path, uid_t uid, gid_t gid)
{
    return ::chown(QFile::encodeName(path).constData(), uid, gid) == 0;
}

} // namespace

UnprivilegedRun RerunUnprivileged()
{
    UnprivilegedRun run;
    if (::geteuid() != 0)
        return run;
    run.done = true;

    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody) {
        run.skipReason = QStringLiteral("running as root, and there is no user nobody to run as");
        return run;
    }
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;

    // The copy of the program and a home of its own, both the child's.
    QTemporaryDir place;
    const QString program = place.path() + QStringLiteral("/test");
    const QString home = place.path() + QStringLiteral("/home");
    if (!place.isValid() || !QFile::copy(thisProgram(), program) || !QDir().mkdir(home) ||
        !giveTo(place.path(), uid, gid) || !giveTo(program, uid, gid) || !giveTo(home, uid, gid)) {
        run.skipReason = QStringLiteral("running as root, and the test program cannot be "
                                        "prepared for the user nobody in %1")
                             .arg(place.path());
        return run;
    }
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
    env.insert(QStringLiteral("TMPDIR"), home);
    child.setProcessEnvironment(env);
    child.setWorkingDirectory(home);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.setChildProcessModifier([uid, gid] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(kCannotSwitchUser);
    });
    child.start(program, {QStringLiteral("--gtest_filter=") + currentTestName(),
                          QStringLiteral("--gtest_color=no")});
    if (!child.waitForStarted(30000) || !child.waitForFinished(240000)) {
        child.kill();
        child.waitForFinished();
        ADD_FAILURE() << "the test run as nobody did not finish: "
                      << child.errorString().toStdString() << "\n"
                      << child.readAll().toStdString();
        return run;
    }
    const QByteArray output = child.readAll();
    if (child.exitStatus() == QProcess::NormalExit && child.exitCode() == kCannotSwitchUser) {
        run.skipReason = QStringLiteral("running as root, and the child cannot become nobody");
        return run;
    }
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        ADD_FAILURE() << "the test failed when run as nobody:\n" << output.toStdString();
        return run;
    }
    if (output.contains("[  SKIPPED ]")) {
        run.skipReason = QStringLiteral("skipped when run as nobody as well:\n") +
                         QString::fromLocal8Bit(output);
        return run;
    }
    if (!output.contains("[  PASSED  ] 1 test")) {
        ADD_FAILURE() << "the test did not run as nobody:\n" << output.toStdString();
        return run;
    }
    std::cout << "[ as nobody ] " << currentTestName().toStdString() << " passed" << std::endl;
    return run;
}
