// The guard every exchange runs under: the operator's input is dropped while it lives,
// everything else (timers among it) is handled, and a question asked from within lets the
// input through again.

#include "link/exchangeguard.h"
#include "link/qelbox.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSerialPort>
#include <QTimer>

#include <gtest/gtest.h>

namespace
{

class Receiver : public QObject
{
public:
    int inputSeen = 0;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::KeyPress || e->type() == QEvent::MouseButtonPress)
            ++inputSeen;
        return QObject::event(e);
    }
};

// A key press and a mouse press sent to receiver; how many got through.
int sendInput(Receiver& receiver)
{
    const int before = receiver.inputSeen;
    QEvent key(QEvent::KeyPress);
    QEvent click(QEvent::MouseButtonPress);
    QCoreApplication::sendEvent(&receiver, &key);
    QCoreApplication::sendEvent(&receiver, &click);
    return receiver.inputSeen - before;
}

TEST(ExchangeGuard, DropsInputWhileItLivesButNotTimersOrAQuestion)
{
    LinkContext ctx;
    Receiver receiver;
    EXPECT_EQ(sendInput(receiver), 2);
    EXPECT_FALSE(ExchangeGuard::active());
    {
        const ExchangeGuard guard(ctx);
        EXPECT_TRUE(ctx.exchangeRunning);
        EXPECT_TRUE(ExchangeGuard::active());
        EXPECT_EQ(sendInput(receiver), 0);

        bool fired = false;
        QTimer::singleShot(0, [&] { fired = true; });
        for (int i = 0; i < 100 && !fired; ++i)
            ExchangeGuard::handleEvents();
        EXPECT_TRUE(fired) << "timers run during an exchange";

        {
            const ExchangeGuard::Question question;
            EXPECT_EQ(sendInput(receiver), 2) << "the question takes input";
        }
        EXPECT_EQ(sendInput(receiver), 0);

        LinkContext other;
        {
            const ExchangeGuard nested(other);
            EXPECT_EQ(sendInput(receiver), 0);
        }
        EXPECT_FALSE(other.exchangeRunning);
        EXPECT_TRUE(ExchangeGuard::active()) << "the outer exchange still runs";
        EXPECT_EQ(sendInput(receiver), 0);
    }
    EXPECT_FALSE(ctx.exchangeRunning);
    EXPECT_FALSE(ExchangeGuard::active());
    EXPECT_EQ(sendInput(receiver), 2);
}

TEST(ExchangeGuard, TheLinkIsNotReleasedUnderAnExchange)
{
    LinkContext ctx;
    InitLinkContext(ctx);
    ctx.port = std::make_unique<QSerialPort>();
    {
        const ExchangeGuard guard(ctx);
        EXPECT_FALSE(ReleaseLink(ctx));
        EXPECT_NE(ctx.port, nullptr) << "the running exchange keeps its port";
    }
    EXPECT_TRUE(ReleaseLink(ctx));
    EXPECT_EQ(ctx.port, nullptr);
}

} // namespace
