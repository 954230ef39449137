#include "support/sim_udp.h"

#include "config/program.h"
#include "link/qelbox.h"

#include <QUdpSocket>

quint16 FreeUdpPort()
{
    QUdpSocket probe;
    if (!probe.bind(QHostAddress::AnyIPv4, 0))
        return 0;
    return probe.localPort();
}

void SimUdpTest::SetUp()
{
    ASSERT_TRUE(program.isValid());
    savedEthTimeout_ = Program().ethTimeout;
    Program().ethTimeout = 50;
    replyPort = FreeUdpPort();
    ASSERT_NE(replyPort, 0);
    ASSERT_TRUE(sim.setAddress(kDeviceAddress));
    ASSERT_TRUE(sim.setDevicePort(0));
    sim.setReplyPort(replyPort);
    QString error;
    ASSERT_TRUE(sim.start(&error)) << error.toStdString();
}

void SimUdpTest::TearDown()
{
    sim.stop();
    Program().ethTimeout = savedEthTimeout_;
}

void SimUdpTest::aim(LinkContext& ctx) const
{
    InitLinkContext(ctx);
    ctx.devicePort = sim.devicePort();
    ctx.localPort = replyPort;
}
