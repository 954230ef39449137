#include "link/comportfunctions.h"

#include "line_probe.h"
#include "support/file_bytes.h"
#include "support/sim_com.h"

#include <QFile>

#include <gtest/gtest.h>

namespace
{

constexpr int kSimCom = 7;

class ComPort : public SimComTest
{
protected:
    ComPort() : SimComTest(kSimCom) {}

    std::unique_ptr<QSerialPort> open(qint32 rate = 9600, int bits = 8, int parity = 0,
                                      int stop = 0, ComOpenError* error = nullptr)
    {
        return OpenComPort(kSimCom, rate, bits, parity, stop, 1000, 1000, true, false, error);
    }
};

TEST_F(ComPort, DevicesOfComNumbers)
{
    // Keys match without regard to case and blanks, the first one wins, an empty entry maps
    // nothing, and entries for numbers outside 1..255 count for nothing.
    PutFile(program.settingsPath(), "[COM_PORTS]\r\nCOM7=" + QFile::encodeName(sim.slavePath()) +
                                        "\r\n com3 = /dev/custom/line \r\nCOM3=/dev/shadowed\r\n"
                                        "COM200=/dev/mapped-high\r\nCOM1=\r\n"
                                        "COM0=/dev/zero\r\nCOM256=/dev/too-far\r\n");
    const ComPortMap map = ComPortMap::load(program.settingsPath());
    struct Case {
        int n;
        QString device;
    };
    const Case cases[] = {
        {1, "/dev/ttyS0"},
        {2, "/dev/ttyS1"},
        {32, "/dev/ttyS31"},
        {33, "/dev/ttyUSB0"},
        {64, "/dev/ttyUSB31"},
        {65, "/dev/ttyACM0"},
        {96, "/dev/ttyACM31"},
        {97, ""},
        {255, ""},
        {0, ""},
        {256, ""},
        {-1, ""},
        {3, "/dev/custom/line"},
        {200, "/dev/mapped-high"},
        {kSimCom, sim.slavePath()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ComPortDevice(c.n), c.device) << c.n;
        EXPECT_EQ(ComPortDevice(c.n, map), c.device) << c.n << ", map read once";
    }
    for (int outside : {0, 256})
        EXPECT_EQ(map.device(outside), QString()) << outside << " is no COM number";

    // The map is what the file held when it was read; the single lookups read it afresh.
    PutFile(program.settingsPath(), "[COM_PORTS]\r\nCOM3=/dev/later\r\n");
    EXPECT_EQ(ComPortDevice(3, map), QStringLiteral("/dev/custom/line"));
    EXPECT_EQ(ComPortDevice(3), QStringLiteral("/dev/later"));
    for (const ComPortMap& none :
         {ComPortMap(), ComPortMap::load(QString()), ComPortMap::load(program.path() + "/none")})
        EXPECT_EQ(ComPortDevice(3, none), QStringLiteral("/dev/ttyS2"));
}

TEST_F(ComPort, OpenLimitsTheLineSettings)
{
    // Rate and stop bits as the driver holds them after the open; data bits as the port
    // reports them (a pseudo-terminal always carries 8 data bits and no parity, and refuses
    // 6 or 7 data bits and parity outright).
    struct Case {
        qint32 rate;
        int bits, stop;
        long wantRate;
        int wantBits;
        bool wantTwoStop;
    };
    const Case cases[] = {
        {9600, 8, 0, 9600, 8, false},     {50, 8, 0, 110, 8, false},
        {109, 8, 0, 110, 8, false},       {110, 8, 0, 110, 8, false},
        {256000, 8, 0, 256000, 8, false}, {300000, 8, 0, 256000, 8, false},
        {-5, 8, 0, 110, 8, false},        {115200, 9, 0, 115200, 8, false},
        {9600, 5, 0, 9600, 5, false},     {9600, 8, 2, 9600, 8, true},
        {9600, 8, 4, 9600, 8, false},     {9600, 8, -1, 9600, 8, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "rate " << c.rate << " bits " << c.bits << " stop " << c.stop);
        ComOpenError error;
        auto port = open(c.rate, c.bits, 0, c.stop, &error);
        ASSERT_TRUE(port) << qPrintable(error.text());
        LineProbe line;
        ASSERT_TRUE(ProbeLine(int(port->handle()), &line));
        EXPECT_EQ(line.baud, c.wantRate);
        EXPECT_EQ(line.twoStopBits, c.wantTwoStop);
        EXPECT_FALSE(line.parity);
        EXPECT_EQ(port->baudRate(), c.wantRate);
        EXPECT_EQ(int(port->dataBits()), c.wantBits);
        EXPECT_EQ(port->stopBits(), c.wantTwoStop ? QSerialPort::TwoStop : QSerialPort::OneStop);
        EXPECT_EQ(port->parity(), QSerialPort::NoParity);
        EXPECT_EQ(port->readBufferSize(), 1000);
    }
}

// What the pseudo-terminal cannot hold, on the settings asked of the driver.
TEST_F(ComPort, DataBitsParityAndStopBitCodes)
{
    struct Case {
        int bits, parity, stop;
        int wantBits;
        QSerialPort::Parity wantParity;
        QSerialPort::StopBits wantStop;
    };
    for (const Case c : {Case{8, 0, 0, 8, QSerialPort::NoParity, QSerialPort::OneStop},
                         Case{7, 1, 2, 7, QSerialPort::EvenParity, QSerialPort::TwoStop},
                         Case{9, 2, 0, 8, QSerialPort::OddParity, QSerialPort::OneStop},
                         Case{6, 3, 4, 6, QSerialPort::NoParity, QSerialPort::OneStop},
                         Case{5, -1, -1, 5, QSerialPort::NoParity, QSerialPort::OneStop}}) {
        const ComLineSettings line = ComLineFor(9600, c.bits, c.parity, c.stop);
        EXPECT_EQ(line.dataBits, c.wantBits) << c.bits;
        EXPECT_EQ(line.parity, c.wantParity) << c.parity;
        EXPECT_EQ(line.stopBits, c.wantStop) << c.stop;
        EXPECT_TRUE(line.refused.isEmpty());
    }
}

TEST_F(ComPort, SettingsTheDriverCannotMakeFailWithTheirReason)
{
    struct Case {
        int bits, stop;
        const char* reasonPart;
    };
    // 3 data bits are first limited to 4, which no serial driver here sends.
    for (const Case c : {Case{3, 0, "4 біти"}, Case{4, 0, "4 біти"}, Case{8, 1, "1,5"}}) {
        ComOpenError error;
        EXPECT_FALSE(open(9600, c.bits, 0, c.stop, &error)) << c.bits << " " << c.stop;
        EXPECT_EQ(error.device, sim.slavePath());
        EXPECT_TRUE(error.reason.contains(QString::fromUtf8(c.reasonPart)))
            << qPrintable(error.reason);
    }
}

TEST_F(ComPort, OpenFailuresNameTheDeviceAndTheReason)
{
    const QString missing = program.path() + QStringLiteral("/no-such-tty");
    ASSERT_TRUE(program.mapComPort(8, missing));
    ComOpenError error;
    EXPECT_FALSE(OpenComPort(8, 9600, 8, 0, 0, 1000, 1000, true, false, &error));
    EXPECT_EQ(error.device, missing);
    EXPECT_EQ(error.error, QSerialPort::DeviceNotFoundError);
    EXPECT_FALSE(error.reason.isEmpty());
    EXPECT_TRUE(error.text().startsWith(missing + QStringLiteral(": ")));

    error = ComOpenError();
    EXPECT_FALSE(OpenComPort(200, 9600, 8, 0, 0, 1000, 1000, true, false, &error));
    EXPECT_TRUE(error.device.isEmpty());
    EXPECT_TRUE(error.reason.contains(QStringLiteral("COM200"))) << qPrintable(error.reason);
}

TEST_F(ComPort, APortOpenElsewhereIsRefusedButStillPresent)
{
    auto first = open();
    ASSERT_TRUE(first);
    ComOpenError error;
    EXPECT_FALSE(open(9600, 8, 0, 0, &error));
    EXPECT_TRUE(error.busy);
    EXPECT_EQ(error.device, sim.slavePath());
    EXPECT_TRUE(error.group.isEmpty());
    EXPECT_FALSE(error.reason.isEmpty());
    EXPECT_TRUE(ComPortPresent(kSimCom));

    // Once closed it opens again.
    first.reset();
    EXPECT_TRUE(open());
}

TEST_F(ComPort, PresenceRule)
{
    const QString plainFile = program.path() + QStringLiteral("/plain");
    PutFile(plainFile, "");
    ASSERT_TRUE(program.mapComPort(8, plainFile));
    ASSERT_TRUE(program.mapComPort(9, program.path() + QStringLiteral("/missing")));
    const ComPortMap map = ComPortMap::load(program.settingsPath());

    struct Case {
        int n;
        bool present;
    };
    for (const Case c :
         {Case{kSimCom, true}, Case{8, false} /* not a device */, Case{9, false} /* no node */,
          Case{200, false}, Case{0, false}, Case{256, false}}) {
        EXPECT_EQ(ComPortPresent(c.n), c.present) << c.n;
        EXPECT_EQ(ComPortPresent(c.n, map), c.present) << c.n << ", map read once";
    }
}

TEST_F(ComPort, PermissionErrorNamesTheOwningGroup)
{
    ComOpenError error;
    error.device = QStringLiteral("/dev/ttyUSB0");
    error.reason = QStringLiteral("Permission denied");
    error.group = QStringLiteral("dialout");
    EXPECT_EQ(error.text(), QStringLiteral("/dev/ttyUSB0: Permission denied. Користувач має "
                                           "входити до групи dialout, якій належить пристрій"));
}

TEST_F(ComPort, ImmediateReadsAndErrorState)
{
    auto port = open();
    ASSERT_TRUE(port);
    EXPECT_TRUE(SetComTimeouts(port.get(), kComReadIntervalImmediate, 0, 0));
    EXPECT_FALSE(SetComTimeouts(port.get(), 10, 0, 100)); // reads that wait are not offered
    EXPECT_FALSE(SetComTimeouts(nullptr, kComReadIntervalImmediate, 0, 0));
    char byte = 0;
    EXPECT_EQ(port->read(&byte, 1), 0); // idle port: nothing, and no wait

    EXPECT_TRUE(ClearComError(port.get()));
    EXPECT_FALSE(ClearComError(nullptr));
    EXPECT_FALSE(ComPortLost(port.get()));
    sim.closeMaster();
    EXPECT_TRUE(ComPortLost(port.get()));
    EXPECT_TRUE(ComPortLost(nullptr));
    EXPECT_EQ(CounterFrequency(), 1'000'000'000u);
}

} // namespace
