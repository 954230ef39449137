#include "support/ui/linked_main.h"

#include "config/program.h"
#include "config/rd_wr_ini.h"
#include "link/comportfunctions.h"
#include "link/qelbox.h"

#include <QFile>

bool LinkedMain::RunConnectDialog()
{
    LinkContext* ctx = linkContext();
    ctx->port = OpenComPort(com_, 9600, 8, 0, 0, 1000, 1000, true, false);
    ctx->attemptCount = 1;
    ctx->replyTimeout = 300;
    ctx->interByteTimeout = 100;
    return ctx->port != nullptr;
}

void LinkedMainTest::SetUp()
{
    SimComTest::SetUp();
    if (HasFatalFailure())
        return;
    QFile exe(program.path() + "/qel2_serv");
    ASSERT_TRUE(exe.open(QIODevice::WriteOnly));
    window = std::make_unique<LinkedMain>(QStringList{exe.fileName()}, com());
    ASSERT_TRUE(window->FormCreate());
    window->TimerStartTimer();
    ASSERT_EQ(Program().connected, 1);
}

void LinkedMainTest::TearDown()
{
    if (window)
        window->CloseLink();
    window.reset();
    ConnSet() = ConnSettingsState();
}
