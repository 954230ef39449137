// qel2_cli over Ethernet, run as a process against the simulated device on a loopback address.

#include "cli/cli_run.h"
#include "config/cnf_file.h"

#include "support/qt_printers.h"
#include "support/sim_udp.h"

#include <gtest/gtest.h>

namespace
{

class CliUdp : public SimUdpTest
{
protected:
    CliRun run(const QString& command, QStringList args) const
    {
        args = QStringList{command,
                           "--ip",
                           "127.0.0.2",
                           "--device-port",
                           QString::number(sim.devicePort()),
                           "--reply-port",
                           QString::number(replyPort),
                           "--attempts",
                           "2"} +
               args;
        return RunCli(args);
    }
    QString file(const char* name) const { return program.path() + "/" + name; }
};

} // namespace

TEST_F(CliUdp, ReadsTheDeviceAndItsMac)
{
    SimDeviceState state = sim.state();
    state.name = "Stand 1";
    state.params.ip = {127, 0, 0, 2};
    state.params.ports[1].rate = 115200;
    sim.setState(state);

    const CliRun read = run("read", {});
    ASSERT_EQ(read.exitCode, 0) << read.err.toStdString();
    const QStringList lines = read.out.split('\n', Qt::SkipEmptyParts);
    for (const char* expected : {"box_name Stand 1", "Mac_addres 00:1A:2B:3C:4D:5E",
                                 "ip_adr 127.0.0.2", "port2.rate 115200"})
        EXPECT_TRUE(lines.contains(QString::fromUtf8(expected))) << expected;

    const CliRun mac = run("query", {"mac"});
    ASSERT_EQ(mac.exitCode, 0) << mac.err.toStdString();
    EXPECT_EQ(mac.out, "00:1A:2B:3C:4D:5E\n");
    EXPECT_EQ(run("query", {"tcp1"}).exitCode, 2) << "the TCP state is a serial query";
}

// A file written over Ethernet, with a new loopback address: the device moves and the tool
// reads it back from there.
TEST_F(CliUdp, WritesAFileAndFollowsTheDevice)
{
    DeviceConfig cfg;
    MakeEmptyConfig(cfg);
    cfg.net.ip_prz = 0;
    cfg.net.ip_adr = {127, 0, 0, 7};
    cfg.net.net_mask = {255, 0, 0, 0};
    cfg.ports[1].rate = 57600;
    SetBoxNameBytes(cfg, "Moved");
    ASSERT_TRUE(WriteCnfFile(cfg, file("w.cnf")));

    const CliRun write = run("write", {file("w.cnf")});
    ASSERT_EQ(write.exitCode, 0) << write.err.toStdString();
    EXPECT_EQ(write.out, "written\n");
    EXPECT_TRUE(write.err.contains("the device moved to 127.0.0.7")) << write.err.toStdString();
    EXPECT_EQ(sim.address(), IpAddress({127, 0, 0, 7}));
    EXPECT_EQ(sim.state().saved.ports[1].rate, 57600u);
    EXPECT_EQ(sim.state().name, QByteArray("Moved"));
}

// A write is compared with the configuration the device reports after it: a field it did not
// keep fails the run, and so does a device that cannot be read back after the write; with
// --no-verify only the read-back itself counts.
TEST_F(CliUdp, AWriteIsVerified)
{
    DeviceConfig cfg;
    MakeEmptyConfig(cfg);
    cfg.net.ip_prz = 0;
    cfg.net.ip_adr = {127, 0, 0, 2};
    cfg.net.net_mask = {255, 0, 0, 0};
    cfg.ports[1].rate = 57600;
    SetBoxNameBytes(cfg, "Stand 2");
    ASSERT_TRUE(WriteCnfFile(cfg, file("w.cnf")));
    struct Case {
        const char* name;
        const char* dropped;
        int restartSilenceMs;
        bool noVerify;
        int exitCode;
        const char* out;
        const char* lastErr;
    };
    const Case cases[] = {
        {"kept", "", 0, false, 0, "written\n", "notice: Параметри записані у пристрій"},
        {"name dropped", "box_name", 0, false, 1, "box_name: written Stand 2, read Stand 1\n",
         "error: the device acknowledged the write but did not keep 1 field"},
        {"name dropped, not verified", "box_name", 0, true, 0, "written\n",
         "notice: Параметри записані у пристрій"},
        // Last: the device stays silent for longer than the test.
        {"silent after the write", "", 60000, false, 1, "",
         "error: the write could not be verified: the device could not be read back"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimDeviceState state = sim.state();
        state.name = "Stand 1";
        state.dropField = QString::fromUtf8(c.dropped);
        sim.setState(state);
        SimUdpFaults faults;
        faults.restartSilenceMs = c.restartSilenceMs;
        sim.setFaults(faults);
        QStringList args = {file("w.cnf")};
        if (c.noVerify)
            args << "--no-verify";
        const CliRun r = run("write", args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_EQ(r.out, QString::fromUtf8(c.out));
        EXPECT_EQ(LastLine(r.err), QString::fromUtf8(c.lastErr)) << r.err.toStdString();
    }
}

TEST_F(CliUdp, ASilentDeviceEndsTheRunWithItsReason)
{
    SimUdpFaults faults;
    faults.silent = true;
    sim.setFaults(faults);
    const CliRun read = run("read", {});
    EXPECT_EQ(read.exitCode, 1);
    EXPECT_TRUE(read.out.isEmpty());
    EXPECT_TRUE(read.err.contains("Не виконана перша команда з'єднання з пристроєм."))
        << read.err.toStdString();
    EXPECT_TRUE(read.err.contains("Ithernet. Перевищено час отримання відповіді на запит"));
    EXPECT_TRUE(read.err.endsWith("error: no link to 127.0.0.2\n")) << read.err.toStdString();
    EXPECT_EQ(sim.requestCount(), 2) << "two attempts, no question";

    DeviceConfig cfg;
    MakeEmptyConfig(cfg);
    ASSERT_TRUE(WriteCnfFile(cfg, file("w.cnf")));
    faults.silent = false;
    sim.setFaults(faults);
    EXPECT_EQ(run("write", {file("w.cnf"), "--com", "3"}).exitCode, 2) << "one link only";
}
