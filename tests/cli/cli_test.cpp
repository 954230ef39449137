#include "cli/cli_run.h"
#include "config/cnf_file.h"

#include "support/file_bytes.h"
#include "support/qt_printers.h"
#include "support/sim_com.h"

#include <gtest/gtest.h>

namespace
{

constexpr int kSimCom = 4;

// qel2_cli against the simulated device, its COM number mapped in a temporary settings file.
class Cli : public SimComTest
{
protected:
    Cli() : SimComTest(kSimCom) {}

    CliRun run(QStringList args) const
    {
        if (!args.isEmpty() && args[0] != QLatin1String("show"))
            args << "--ini" << program.settingsPath() << "--wait"
                 << "1";
        return RunCli(args);
    }

    QString file(const char* name) const { return program.path() + "/" + name; }
};

} // namespace

TEST_F(Cli, ReadsADeviceIntoAFileThatShowPrints)
{
    SimDeviceState state = sim.state();
    state.params.ip = {192, 168, 1, 200};
    state.params.mask = {255, 255, 255, 0};
    state.params.ports[0].regim = 1;
    state.params.ports[0].remoteIp = {10, 0, 0, 7};
    state.params.ports[0].remotePort = 502;
    state.params.ports[1].rate = 115200;
    state.params.ports[1].portSett = {2, 0, 7};
    state.params.ports[1].timeout = 200;
    sim.setState(state);

    const CliRun readRun = run({"read", "--com", QString::number(kSimCom), "-o", file("x.cnf")});
    ASSERT_EQ(readRun.exitCode, 0) << readRun.err.toStdString();
    const CliRun show = run({"show", file("x.cnf")});
    ASSERT_EQ(show.exitCode, 0);
    const QStringList lines = show.out.split('\n', Qt::SkipEmptyParts);
    for (const char* expected :
         {"box_vers 39", "Mac_addres 00:00:00:00:00:00", "is_port2 0 (off)",
          "ip_prz 255 (not chosen)", "ip_adr 192.168.1.200", "net_mask 255.255.255.0",
          "port1.regim 1 (TCP client)", "port1.remote_ip_adr 10.0.0.7", "port1.remote_port 502",
          "port2.rate 115200", "port2.port_sett[0] 2 (two stop bits)", "port2.port_sett[1] 0 (odd)",
          "port2.port_sett[2] 7 (data bits)", "port2.timeout 200 (1000 ms)"})
        EXPECT_TRUE(lines.contains(QString::fromUtf8(expected))) << expected;
    EXPECT_EQ(lines.size(), 8 + 2 * 9);
}

TEST_F(Cli, WritesAFileIntoTheDevice)
{
    DeviceConfig cfg;
    MakeEmptyConfig(cfg);
    cfg.net.ip_prz = 0;
    cfg.net.ip_adr = {10, 1, 2, 3};
    cfg.net.net_mask = {255, 255, 0, 0};
    cfg.ports[1].regim = 3;
    cfg.ports[1].port = 4001;
    cfg.ports[1].remote_ip_adr = {10, 1, 2, 99};
    cfg.ports[1].remote_port = 4002;
    ASSERT_TRUE(WriteCnfFile(cfg, file("w.cnf")));

    const CliRun r = run({"write", "--com", QString::number(kSimCom), file("w.cnf")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const SimDeviceState state = sim.state();
    EXPECT_EQ(state.saved.ip, cfg.net.ip_adr);
    EXPECT_EQ(state.saved.mask, cfg.net.net_mask);
    EXPECT_EQ(state.saved.ipPrz, 0);
    EXPECT_EQ(state.saved.ports[1].regim, 3);
    EXPECT_EQ(state.saved.ports[1].port, 4001);
    EXPECT_EQ(state.saved.ports[1].remoteIp, cfg.ports[1].remote_ip_adr);
    EXPECT_EQ(state.saved.ports[1].remotePort, 4002);
    EXPECT_EQ(state.saved.port2Enabled, 1);
    EXPECT_EQ(state.restarts, 3) << "network, port 1 and port 2 each end in a restart";
}

// A write of a whole device succeeds only when the device acknowledged every command; the
// failure names the first command that was not, even when more were sent after it, and the
// write stops after the group it belongs to.
TEST_F(Cli, WriteNamesTheFirstCommandThatFailed)
{
    DeviceConfig cfg;
    MakeEmptyConfig(cfg);
    cfg.net.ip_prz = 0;
    ASSERT_TRUE(WriteCnfFile(cfg, file("w.cnf")));
    const Codes net = {0x11, 0x12, 0x13, 0x33, 0x0D, 0x02};
    const Codes port1 = {0x10, 0x14, 0x21, 0x22, 0x23, 0x17, 0x24, 0x26, 0x25, 0x0D, 0x02};
    const Codes port2 = {0x40, 0x41, 0x44, 0x45, 0x46, 0x39};
    const Codes commit2 = {0x47, 0x49, 0x48, 0x0D, 0x02};
    const Codes version = {0x01};
    // A write that was acknowledged is read back for its verification.
    const Codes readBack = {0x61, 0x62, 0x63, 0x60, 0x64, 0x65, 0x66, 0x71, 0x72,
                            0x73, 0x90, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96};
    struct Case {
        QByteArray ignored;
        Codes codes;
        int exitCode;
        const char* lastLine; // of stderr
    };
    const Case cases[] = {
        {"", version + net + port1 + port2 + commit2 + readBack, 0, ""},
        {"\x11", {0x01, 0x11}, 1, "error: command 0x11 failed: Пристрій не відповідає"},
        {"\x12",
         {0x01, 0x11, 0x12, 0x33, 0x0D, 0x02},
         1,
         "error: command 0x12 failed: Пристрій не відповідає"},
        {"\x33", version + net, 1, "error: command 0x33 failed: Пристрій не відповідає"},
        {"\x0D", version + net, 1, "error: command 0xD failed: Пристрій не відповідає"},
        {"\x02", version + net, 1, "error: command 0x2 failed: Пристрій не відповідає"},
        {"\x46", version + net + port1 + port2, 1,
         "error: command 0x46 failed: Пристрій не відповідає"},
        {"\x39", version + net + port1 + port2 + commit2, 1,
         "error: command 0x39 failed: Пристрій не відповідає"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "ignoring " << c.ignored.toHex().constData());
        sim.clearLog();
        SimSerialFaults faults;
        faults.silentCodes = c.ignored;
        sim.setFaults(faults);
        const CliRun r = run({"write", "--com", QString::number(kSimCom), file("w.cnf")});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_EQ(SentCodes(sim), c.codes);
        EXPECT_EQ(r.out.contains(QStringLiteral("written")), c.exitCode == 0)
            << r.out.toStdString();
        EXPECT_EQ(LastLine(r.err), QString::fromUtf8(c.lastLine)) << r.err.toStdString();
    }
}

// A write is read back and compared with what it sent: a field the device did not keep is
// printed with both values and fails the run, as does a read-back that fails; --no-verify
// reads nothing back.
TEST_F(Cli, WriteIsVerifiedByReadingTheDeviceBack)
{
    DeviceConfig cfg;
    MakeEmptyConfig(cfg);
    cfg.net.ip_prz = 0;
    cfg.net.ip_adr = {10, 1, 2, 3};
    cfg.net.net_mask = {255, 255, 0, 0};
    cfg.ports[0].regim = 0; // a server: its remote fields are not sent
    cfg.ports[0].remote_port = 7777;
    cfg.ports[1].rate = 57600;
    cfg.ports[1].timeout = 300; // more than the device's one byte holds
    ASSERT_TRUE(WriteCnfFile(cfg, file("w.cnf")));
    const QString com = QString::number(kSimCom);
    struct Case {
        const char* name;
        const char* dropped;
        QByteArray ignoredReads;
        bool noVerify;
        int exitCode;
        const char* out;
        const char* lastErr;
    };
    const Case cases[] = {
        {"port 2 rate dropped",
         "port2.rate",
         {},
         false,
         1,
         "port2.rate: written 57600, read 9600\n"
         "port2.timeout: written 300 (1500 ms), read 44 (220 ms)\n",
         "error: the device acknowledged the write but did not keep 2 fields"},
        {"network address dropped",
         "ip_adr",
         {},
         false,
         1,
         "ip_adr: written 10.1.2.3, read 0.0.0.0\n"
         "port2.timeout: written 300 (1500 ms), read 44 (220 ms)\n",
         "error: the device acknowledged the write but did not keep 2 fields"},
        {"unreadable", "", "\x72", false, 1, "",
         "error: the write could not be verified: the device could not be read back"},
        {"not verified", "port2.rate", {}, true, 0, "written\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimDeviceState state;
        state.dropField = QString::fromUtf8(c.dropped);
        sim.setState(state);
        SimSerialFaults faults;
        faults.silentCodes = c.ignoredReads;
        sim.setFaults(faults);
        sim.clearLog();
        QStringList args = {"write", "--com", com, file("w.cnf")};
        if (c.noVerify)
            args << "--no-verify";
        const CliRun r = run(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_EQ(r.out, QString::fromUtf8(c.out));
        EXPECT_EQ(LastLine(r.err), QString::fromUtf8(c.lastErr)) << r.err.toStdString();
        if (!c.ignoredReads.isEmpty()) {
            EXPECT_TRUE(r.err.contains("error: command 0x72 failed: Пристрій не відповідає"))
                << "the read that failed";
        }
        if (c.noVerify) {
            EXPECT_EQ(SentCodes(sim).back(), 0x02) << "nothing read after the last restart";
        }
    }
}

TEST_F(Cli, QueriesAndFailures)
{
    sim.setMac({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xEF});
    sim.setTcpState(2, 1);
    const QString com = QString::number(kSimCom);
    struct Case {
        QStringList args;
        int exitCode;
        const char* out; // a line the output must hold
        const char* err; // a text stderr must hold
    };
    const Case cases[] = {
        {{"query", "--com", com, "mac"}, 0, "00:1A:2B:3C:4D:EF", ""},
        {{"query", "--com", com, "tcp1"}, 0, "0 (not connected)", ""},
        {{"query", "--com", com, "tcp2"}, 0, "1 (connected)", ""},
        {{"query", "--com", "200", "mac"}, 1, "", "COM200"},
        {{"query", "--com", com, "ip"}, 2, "", "mac, tcp1, tcp2"},
        {{"read"}, 2, "", "--com"},
        {{"read", "--com", "0"}, 2, "", "--com takes a whole number from 1 to 255"},
        {{"read", "--com", com, "--attempts", "x"}, 2, "", "--attempts"},
        {{"frobnicate"}, 2, "", "unknown command"},
        {{"show", "/nonexistent/x.cnf"}, 2, "", "not a readable file"},
        {{"show"}, 2, "", "one file name"},
        {{"--help"}, 0, "Exit status", ""},
    };
    for (const Case& c : cases) {
        const CliRun r = run(c.args);
        const std::string what = c.args.join(' ').toStdString();
        EXPECT_EQ(r.exitCode, c.exitCode) << what << "\n" << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(QString::fromUtf8(c.out))) << what << "\n"
                                                              << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.err))) << what << "\n"
                                                              << r.err.toStdString();
    }
}

TEST_F(Cli, SilentDeviceOrOtherVersionIsALinkFailure)
{
    const QString com = QString::number(kSimCom);
    SimSerialFaults silent;
    silent.silent = true;
    sim.setFaults(silent);
    CliRun r = run({"read", "--com", com});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Пристрій не відповідає"))) << r.err.toStdString();
    EXPECT_EQ(sim.frameCount(), 1) << "no retries without --attempts, no questions";

    sim.setFaults({});
    sim.setVersion(40);
    r = run({"query", "--com", com, "mac"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("version 40")) << r.err.toStdString();
}

TEST_F(Cli, BadFilesAreRefusedOrReadByTheFileRules)
{
    const QString com = QString::number(kSimCom);
    PutFile(file("v40.cnf"), "[COMMON_PAR]\r\nbox_vers=40\r\n");
    CliRun r = run({"write", "--com", com, file("v40.cnf")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("box_vers 40")) << r.err.toStdString();
    EXPECT_EQ(sim.frameCount(), 0) << "a bad file sends nothing";

    QByteArray junk;
    for (int i = 0; i < 5000; ++i)
        junk += char((i * 131) & 0xFF);
    PutFile(file("junk.cnf"),
            "[COMMON_PAR]\r\nbox_name=" + QByteArray(200, 'N') + "\r\nip_prz=abc\r\n" + junk);
    r = run({"show", file("junk.cnf")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains("box_name " + QString(20, 'N') + "\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("ip_prz 255 (not chosen)"));

    r = run({"read", "--com", com, "-o", program.path()});
    EXPECT_EQ(r.exitCode, 2) << "the output path is a directory";
    EXPECT_TRUE(r.err.contains("Unable to write to")) << r.err.toStdString();
}
