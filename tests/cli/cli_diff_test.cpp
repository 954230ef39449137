// qel2_cli diff run as a process: two configurations, each a file, a device over serial or a
// device over UDP on a loopback address, compared field by field.

#include "cli/cli_run.h"
#include "config/cnf_file.h"

#include "sim/udp_device.h"
#include "support/sim_com.h"
#include "support/sim_udp.h"

#include <gtest/gtest.h>

namespace
{

constexpr int kSimCom = 5;

// A device over serial and another one over UDP, and two files.
class CliDiff : public SimComTest
{
protected:
    CliDiff() : SimComTest(kSimCom) {}

    void SetUp() override
    {
        SimComTest::SetUp();
        if (HasFatalFailure())
            return;
        SimDeviceState serial = sim.state();
        serial.params.ip = {10, 0, 0, 1};
        serial.params.ports[0].port = 4001;
        sim.setState(serial);

        SimDeviceState eth = udp.state();
        eth.name = "QEL_2 simulator";
        eth.params.ip = {127, 0, 0, 2};
        eth.params.ports[0].port = 4001;
        eth.params.ports[1].rate = 115200;
        udp.setState(eth);
        replyPort = FreeUdpPort();
        ASSERT_NE(replyPort, 0);
        ASSERT_TRUE(udp.setAddress({127, 0, 0, 2}));
        ASSERT_TRUE(udp.setDevicePort(0));
        udp.setReplyPort(replyPort);
        QString error;
        ASSERT_TRUE(udp.start(&error)) << error.toStdString();

        // The serial device's fields, with a name, the port 2 switch and a mode that the
        // serial link cannot read.
        DeviceConfig cfg;
        MakeEmptyConfig(cfg);
        SetBoxNameBytes(cfg, "Stand");
        cfg.is_port2 = 1;
        cfg.net.ip_prz = 0;
        cfg.net.ip_adr = {10, 0, 0, 1};
        cfg.ports[0].port = 4001;
        ASSERT_TRUE(WriteCnfFile(cfg, file("serial.cnf")));
        SetBoxNameBytes(cfg, "Other");
        cfg.ports[0].rate = 115200;
        ASSERT_TRUE(WriteCnfFile(cfg, file("other.cnf")));
    }

    CliRun diff(const QStringList& sides) const
    {
        return RunCli(QStringList{"diff"} + sides +
                      QStringList{"--ini", program.settingsPath(), "--wait", "1", "--device-port",
                                  QString::number(udp.devicePort()), "--reply-port",
                                  QString::number(replyPort), "--attempts", "2"});
    }

    QString file(const char* name) const { return program.path() + "/" + name; }

    SimUdpDevice udp;
    quint16 replyPort = 0;
};

} // namespace

TEST_F(CliDiff, ComparesFilesAndDevices)
{
    const QString serialFile = file("serial.cnf");
    const QString otherFile = file("other.cnf");
    const QStringList com = {"--com", QString::number(kSimCom)};
    const QStringList ip = {"--ip", "127.0.0.2"};
    struct Case {
        const char* name;
        QStringList sides;
        int exitCode;
        const char* out;
        const char* err; // a text stderr must hold
    };
    const Case cases[] = {
        {"a file and itself", {serialFile, serialFile}, 0, "", ""},
        {"two files",
         {serialFile, otherFile},
         1,
         "box_name: Stand | Other\nport1.rate: 9600 | 115200\n",
         ""},
        // The name, the port 2 switch and the mode are left out against a serial device.
        {"a file and the serial device", QStringList{serialFile} + com, 0, "", ""},
        {"the serial device and a file", com + QStringList{otherFile}, 1,
         "port1.rate: 9600 | 115200\n", ""},
        {"the serial device and the UDP one", com + ip, 1,
         "ip_adr: 10.0.0.1 | 127.0.0.2\nport2.rate: 9600 | 115200\n", ""},
        {"the UDP device and a file", ip + QStringList{serialFile}, 1,
         "box_name: QEL_2 simulator | Stand\nis_port2: 0 (off) | 1 (on)\n"
         "ip_adr: 127.0.0.2 | 10.0.0.1\nport2.rate: 115200 | 9600\n",
         ""},
        {"the UDP device and itself", ip + ip, 0, "", ""},
        {"one side", {serialFile}, 2, "", "diff takes two of"},
        {"three sides", {serialFile, otherFile, serialFile}, 2, "", "diff takes two of"},
        {"an unreadable file", {serialFile, file("none.cnf")}, 2, "", "is not a readable file"},
        {"a port that is not there", {serialFile, "--com", "200"}, 1, "", "COM200"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun r = diff(c.sides);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_EQ(r.out, QString::fromUtf8(c.out));
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.err))) << r.err.toStdString();
    }
}
