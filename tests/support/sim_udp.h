#pragma once
// A test whose simulated device answers over UDP: the device on 127.0.0.2 at a port the system
// chooses, replying to a port that was free when the test began, and a link context set to
// reach it, so tests running in parallel never share a port.

#include "sim/udp_device.h"
#include "support/temp_program.h"

#include <gtest/gtest.h>

struct LinkContext;

class SimUdpTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Gives ctx its defaults and the device's ports.
    void aim(LinkContext& ctx) const;

    static constexpr IpAddress kDeviceAddress{{127, 0, 0, 2}};

    TempProgramDir program;
    SimUdpDevice sim;
    quint16 replyPort = 0;

private:
    qint32 savedEthTimeout_ = 0;
};

// A UDP port of 127.0.0.1 and every address that nothing is bound to right now.
quint16 FreeUdpPort();
