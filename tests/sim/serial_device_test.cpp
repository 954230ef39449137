// The simulated device on its own, driven through the slave end with plain system calls.

#include "serial_fixture.h"

#include <unistd.h>

namespace
{

TEST_F(SimSerial, AnswersWithTheReplyLengthOfEachCommand)
{
    struct Case {
        int code;
        int length;
    };
    for (const Case c : {Case{0x81, 6}, Case{0x61, 4}, Case{0x94, 4}, Case{0x72, 3}, Case{0x95, 3},
                         Case{0x64, 2}, Case{0x93, 2}, Case{0x01, 1}, Case{0x73, 1}, Case{0x96, 1},
                         Case{0x0D, 1}, Case{0x7E, 1}}) {
        EXPECT_EQ(FindSimCommand(quint8(c.code)).replyLength, c.length) << c.code;
        const int data = FindSimCommand(quint8(c.code)).dataLength;
        EXPECT_EQ(command(c.code, QByteArray(data, '\0')).size(), c.length) << c.code;
    }
    EXPECT_EQ(receive(1, 100), QByteArray()); // nothing more than asked for
}

TEST_F(SimSerial, FramesSplitOrAfterNoiseAreTaken)
{
    send(bytesOf({0x00, 0x57, 0x13}));     // noise, and a 0x57 that starts no frame
    send(bytesOf({0x57}));                 // the frame comes in pieces
    send(bytesOf({0xAB, 0x11, 10, 0, 0})); // write address: 4 data bytes
    send(bytesOf({7}));
    EXPECT_EQ(receive(1), bytesOf({0}));
    EXPECT_EQ(command(0x61), bytesOf({10, 0, 0, 7}));
    ASSERT_TRUE(sim.waitForFrames(2, 1000));
    const QList<SimFrame> frames = sim.frames();
    EXPECT_EQ(frames[0].code, 0x11);
    EXPECT_EQ(frames[0].data, bytesOf({10, 0, 0, 7}));
    EXPECT_TRUE(frames[0].answered);
}

TEST_F(SimSerial, ABrokenFrameDoesNotSwallowTheNextOne)
{
    send(bytesOf({0x57, 0xAB, 0x11, 1})); // three data bytes missing
    usleep(300'000);
    EXPECT_EQ(command(0x01), bytesOf({39}));
}

TEST_F(SimSerial, WritesAreLostOnRestartUnlessSaved)
{
    EXPECT_EQ(command(0x14, bytesOf({0x50, 0xC3})), bytesOf({0}));
    EXPECT_EQ(command(0x64), bytesOf({0x50, 0xC3}));
    command(0x02);
    EXPECT_EQ(command(0x64), bytesOf({0, 0}));

    command(0x44, bytesOf({0x00, 0xC2, 0x01, 0x00})); // port 2 at 115200
    command(0x23, bytesOf({200, 0, 0, 0}));
    command(0x0D);
    command(0x02);
    EXPECT_EQ(command(0x94), bytesOf({0x00, 0xC2, 0x01, 0x00}));
    EXPECT_EQ(command(0x73), bytesOf({200})); // the time-out read gives its low byte
    const SimDeviceState state = sim.state();
    EXPECT_EQ(state.saves, 1);
    EXPECT_EQ(state.restarts, 2);
    EXPECT_EQ(state.saved.ports[1].rate, 115200u);
    EXPECT_EQ(state.params, state.saved);
}

TEST_F(SimSerial, AWriteLeavesTheDroppedFieldAsItWasButIsAcknowledged)
{
    struct Case {
        const char* key;
        int write;
        QByteArray value;
        int read;
        QByteArray old;
    };
    for (const Case& c :
         {Case{"port2.rate", 0x44, bytesOf({0x00, 0xC2, 0x01, 0x00}), 0x94,
               bytesOf({0x80, 0x25, 0x00, 0x00})},
          Case{"ip_adr", 0x11, bytesOf({10, 0, 0, 7}), 0x61, bytesOf({0, 0, 0, 0})}}) {
        SCOPED_TRACE(c.key);
        sim.setState({});
        ASSERT_TRUE(sim.setDropField(QString::fromLatin1(c.key)));
        EXPECT_EQ(command(c.write, c.value), bytesOf({0}));
        EXPECT_EQ(command(c.read), c.old);
        EXPECT_EQ(command(0x14, bytesOf({0x50, 0xC3})), bytesOf({0})); // port 1 port
        command(0x0D);
        command(0x02);
        EXPECT_EQ(command(c.read), c.old); // the saved set kept it too
        EXPECT_EQ(command(0x64), bytesOf({0x50, 0xC3}));

        ASSERT_TRUE(sim.setDropField(QString()));
        command(c.write, c.value);
        EXPECT_EQ(command(c.read), c.value);
    }
}

TEST_F(SimSerial, ModeSwitchAndFaults)
{
    sim.setConfigPosition(false);
    send(frame(0x01));
    EXPECT_EQ(receive(1, 200), QByteArray());
    ASSERT_TRUE(sim.waitForFrames(1, 1000));
    EXPECT_FALSE(sim.frames()[0].answered);
    sim.setConfigPosition(true);

    SimSerialFaults faults;
    faults.cutAfter = 2;
    sim.setFaults(faults);
    send(frame(0x81));
    EXPECT_EQ(receive(6, 200), bytesOf({0x00, 0x1A}));

    faults = SimSerialFaults();
    faults.extraBytes = bytesOf({0xEE, 0xEF});
    sim.setFaults(faults);
    send(frame(0x01));
    EXPECT_EQ(receive(3), bytesOf({39, 0xEE, 0xEF}));

    faults = SimSerialFaults();
    faults.restartSilenceMs = 1000;
    sim.setFaults(faults);
    EXPECT_EQ(command(0x02), bytesOf({0}));
    send(frame(0x01));
    EXPECT_EQ(receive(1, 100), QByteArray()); // restarting
    usleep(1'100'000);
    EXPECT_EQ(command(0x01), bytesOf({39}));

    sim.setVersion(40);
    sim.setTcpState(2, 1);
    EXPECT_EQ(command(0x01), bytesOf({40}));
    EXPECT_EQ(command(0x04), bytesOf({1}));
}

TEST_F(SimSerial, ClosingTheMasterHangsUpTheSlave)
{
    sim.closeMaster();
    pollfd p = {fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 1000), 1);
    EXPECT_TRUE(p.revents & POLLHUP);
    sim.stop(); // and stopping afterwards is clean
}

} // namespace
