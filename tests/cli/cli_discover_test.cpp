// qel2_cli discover as a process, on the loopback interface, against simulated devices.

#include "cli/cli_run.h"
#include "config/cp1251.h"
#include "support/qt_printers.h"
#include "support/sim_fleet.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace
{

class CliDiscover : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(sims.ok()); }
    CliRun discover(QStringList more = {}) const
    {
        return RunCli(QStringList{"discover", "--iface", "lo", "--window", "1500", "--device-port",
                                  QString::number(sims.devicePort), "--reply-port",
                                  QString::number(sims.replyPort)} +
                      more);
    }
    SimFleet sims;
};

// One line per device, by address; another version is marked; a name's control characters
// are shown escaped, so they cannot end the line.
TEST_F(CliDiscover, OneLinePerDevice)
{
    QString error;
    ASSERT_TRUE(sims.add(3, &error)) << error.toStdString();
    sims[1].setVersion(40);
    sims[2].setName(QByteArray("Line\nbreak"));
    const CliRun r = discover();
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "00:1A:2B:3C:4D:50  127.0.0.2  v39  lo  Щит 1\n"
                     "00:1A:2B:3C:4D:51  127.0.0.3  v40 (not served)  lo  Щит 2\n"
                     "00:1A:2B:3C:4D:52  127.0.0.4  v39  lo  Line\\x0abreak\n");
    EXPECT_EQ(r.err, "") << "without -v only the devices are printed";

    const CliRun verbose = discover({"-v"});
    EXPECT_EQ(verbose.out, r.out);
    EXPECT_TRUE(verbose.err.contains("Запити через lo з 127.0.0.1 на 127.255.255.255"))
        << verbose.err.toStdString();
    EXPECT_TRUE(verbose.err.contains("Знайдено пристроїв: 3")) << verbose.err.toStdString();
}

TEST_F(CliDiscover, NothingFoundExitsOneAndSaysWhatItTried)
{
    const CliRun r = discover();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(r.err.contains("Надіслано запитів: 2")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("Знайдено пристроїв: 0")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("Звичайні причини")) << r.err.toStdString();
}

// Without --iface the interfaces come from SearchInterfaces of the settings file; a name the
// machine does not have is reported, and nothing is sent.
TEST_F(CliDiscover, InterfacesFromTheSettingsFile)
{
    QString error;
    ASSERT_TRUE(sims.add(1, &error)) << error.toStdString();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto settings = [&](const QByteArray& interfaces) {
        const QString path = dir.filePath("qel_conn.ini");
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[QEL2_SERV]\r\nSearchInterfaces=" + interfaces + "\r\n");
        return path;
    };
    const QStringList ports = {"--device-port", QString::number(sims.devicePort), "--reply-port",
                               QString::number(sims.replyPort)};

    const CliRun lo = RunCli(QStringList{"discover", "--ini", settings("lo")} + ports);
    EXPECT_EQ(lo.exitCode, 0) << lo.err.toStdString();
    EXPECT_EQ(lo.out, "00:1A:2B:3C:4D:50  127.0.0.2  v39  lo  Щит 1\n");

    const CliRun none = RunCli(QStringList{"discover", "--ini", settings("nosuch0")} + ports);
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(none.err.contains("nosuch0: такого інтерфейсу немає")) << none.err.toStdString();
    EXPECT_EQ(sims[0].requestCount(), 3) << "only the search on lo reached the device";
}

TEST_F(CliDiscover, BadUsage)
{
    for (const QStringList& args :
         {QStringList{"discover", "--window", "0"}, QStringList{"discover", "--iface"},
          QStringList{"discover", "extra"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        EXPECT_EQ(RunCli(args).exitCode, 2);
    }
}

} // namespace
