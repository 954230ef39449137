#include "support/sim_com.h"

#include "link/comportfunctions.h"
#include "link/qelbox.h"

void SimComTest::SetUp()
{
    ASSERT_TRUE(program.isValid());
    QString error;
    ASSERT_TRUE(sim.start(&error)) << qPrintable(error);
    ASSERT_TRUE(program.mapComPort(com_, sim.slavePath()));
}

std::unique_ptr<QSerialPort> SimComTest::openCom(ComOpenError* error) const
{
    return OpenComPort(com_, 9600, 8, ComParityNone, ComOneStop, 1000, 1000, true, false, error);
}

void SimComTest::openLink(LinkContext& ctx) const
{
    InitLinkContext(ctx);
    ComOpenError error;
    ctx.port = openCom(&error);
    ASSERT_TRUE(ctx.port) << qPrintable(error.text());
}

Codes SentCodes(const SimSerialDevice& sim)
{
    Codes out;
    for (const SimFrame& f : sim.frames())
        out.push_back(f.code);
    return out;
}

Codes operator+(Codes a, const Codes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
