#include "link/comportfunctions.h"
#include "link/qelbox.h"

#include "support/scripted_operator.h"
#include "support/sim_com.h"

#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

namespace
{

constexpr int kSimCom = 5;
constexpr qint64 kMs = 1'000'000;

const QString kNoReplyLine1 =
    QStringLiteral("Пристрій не відповідає. Увага! Тумблер режиму роботи");
const QString kNoReplyLine2 =
    QStringLiteral("повинен бути встановлений в положення \"Конфігурування \"");

QByteArray bytesOf(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

QByteArray reply(const LinkContext& ctx, int n)
{
    return QByteArray(reinterpret_cast<const char*>(ctx.receiveBuffer.data()), n);
}

// A link context on an open COM port whose far end is the simulated device.
class Exchange : public SimComTest
{
protected:
    Exchange() : SimComTest(kSimCom) {}

    void SetUp() override
    {
        SimComTest::SetUp();
        if (HasFatalFailure())
            return;
        openLink(ctx);
        if (HasFatalFailure())
            return;
        ctx.statusPanel = [this](const QString& text) { status.append(text); };
    }

    ScriptedOperator op;
    LinkContext ctx;
    QStringList status;
};

TEST_F(Exchange, FrameBytesAsSent)
{
    struct Case {
        quint8 code;
        QByteArray data;
        QByteArray frame;
    };
    const Case cases[] = {
        {0x01, {}, bytesOf({0x57, 0xAB, 0x01})},
        {0x11, bytesOf({192, 168, 1, 10}), bytesOf({0x57, 0xAB, 0x11, 192, 168, 1, 10})},
        {0x14, bytesOf({0x50, 0xC3}), bytesOf({0x57, 0xAB, 0x14, 0x50, 0xC3})},
    };
    for (const Case& c : cases) {
        sim.clearLog();
        ASSERT_TRUE(ExecCommand(ctx, c.code, reinterpret_cast<const quint8*>(c.data.data()),
                                int(c.data.size())));
        EXPECT_EQ(sim.receivedBytes(), c.frame) << int(c.code);
        EXPECT_EQ(ctx.trace.frameLength, c.frame.size());
        EXPECT_EQ(ctx.lastCommand, c.code);
    }
    EXPECT_TRUE(op.asked.isEmpty());
}

TEST_F(Exchange, CompletesAfterExactlyTheReplyLength)
{
    SimDeviceState state = sim.state();
    state.version = 39;
    state.tcpState = {{1, 0}};
    state.params.ports[0].port = 0x1234;
    state.params.ports[1].rate = 115200;
    state.params.ports[0].portSett = {{1, 4, 8}};
    state.params.ip = {{192, 168, 0, 7}};
    sim.setState(state);
    sim.setMac({{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}});

    // Long deadlines: an exchange that waited for one byte more than the device sends would
    // run into them and fail, and one that expected fewer would stop short.
    ctx.replyTimeout = 5000;
    ctx.interByteTimeout = 2000;
    struct Case {
        quint8 code;
        QByteArray data;
        QByteArray answer;
    };
    const Case cases[] = {
        {0x81, {}, bytesOf({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E})},
        {0x64, {}, bytesOf({0x34, 0x12})},
        {0x10, bytesOf({1}), bytesOf({0})},
        {0x01, {}, bytesOf({39})},
        {0x03, {}, bytesOf({1})},
        {0x04, {}, bytesOf({0})},
        {0x61, {}, bytesOf({192, 168, 0, 7})},
        {0x94, {}, bytesOf({0x00, 0xC2, 0x01, 0x00})},
        {0x72, {}, bytesOf({1, 4, 8})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.code));
        QElapsedTimer wall;
        wall.start();
        ASSERT_TRUE(ExecCommand(ctx, c.code, reinterpret_cast<const quint8*>(c.data.data()),
                                int(c.data.size())));
        EXPECT_LT(wall.elapsed(), 1500); // well inside the inter-byte limit
        EXPECT_EQ(int(ctx.replyLength), c.answer.size());
        EXPECT_EQ(ctx.trace.bytes.size(), c.answer.size());
        EXPECT_EQ(reply(ctx, int(c.answer.size())), c.answer);
        EXPECT_EQ(ctx.resultCode, ResOk);
    }
    EXPECT_TRUE(op.asked.isEmpty());
}

TEST_F(Exchange, ReplyLengthTable)
{
    struct Case {
        int length;
        std::initializer_list<int> codes;
    };
    for (const Case& c :
         {Case{6, {0x81}}, Case{4, {0x61, 0x62, 0x63, 0x65, 0x71, 0x92, 0x94}},
          Case{3, {0x72, 0x95}}, Case{2, {0x64, 0x66, 0x91, 0x93}},
          Case{1, {0x01, 0x03, 0x04, 0x60, 0x73, 0x90, 0x96, 0x10, 0x0D, 0x02, 0x00, 0xFF}}}) {
        for (int code : c.codes)
            EXPECT_EQ(ReplyLength(quint8(code)), c.length) << code;
    }
}

TEST_F(Exchange, NoReplyRunsEveryAttemptThenAsksAboutTheModeSwitch)
{
    sim.setConfigPosition(false);
    ctx.attemptCount = 3;
    ctx.replyTimeout = 100;
    op.answer({true, false}); // "Так" once, then "Ні"

    EXPECT_FALSE(ExecCommand(ctx, 0x01));
    EXPECT_EQ(sim.frameCount(), 6); // two passes of three attempts
    EXPECT_EQ(ctx.resultCode, ResNoReply);
    ASSERT_EQ(op.asked.size(), 2);
    for (const AskedMessage& m : op.asked) {
        EXPECT_EQ(m.kind, MsgRetry);
        EXPECT_EQ(m.line1, kNoReplyLine1);
        EXPECT_EQ(m.line2, kNoReplyLine2);
    }
    EXPECT_EQ(status, QStringList({QStringLiteral("Обмін..."), QString(),
                                   QStringLiteral("Обмін..."), QString()}));

    // The device comes back: the next command goes through.
    sim.setConfigPosition(true);
    EXPECT_TRUE(ExecCommand(ctx, 0x01));
    EXPECT_EQ(op.asked.size(), 2);
}

TEST_F(Exchange, CutReplyAsksWithTheCommandAndTheResultText)
{
    SimSerialFaults faults;
    faults.cutAfter = 2;
    sim.setFaults(faults);
    ctx.attemptCount = 1;
    ctx.interByteTimeout = 50;
    op.answer({true, false});

    EXPECT_FALSE(ExecCommand(ctx, 0x61));
    EXPECT_EQ(ctx.resultCode, ResIncomplete);
    EXPECT_EQ(sim.frameCount(), 2); // one frame per pass
    ASSERT_EQ(op.asked.size(), 2);
    EXPECT_EQ(op.asked[0].kind, MsgRetry);
    EXPECT_EQ(op.asked[0].line1, QStringLiteral("Не виконана команда (0x) 61"));
    EXPECT_EQ(op.asked[0].line2,
              QStringLiteral("Відповідь отримана не повністю (перевищено час між байтами)"));
    EXPECT_EQ(ctx.trace.bytes.size(), 2);
    // The gap is measured from the last byte.
    EXPECT_GE(ctx.trace.end - ctx.trace.bytes.last(), 50 * kMs);
}

TEST_F(Exchange, CommandCodesShowInUpperCaseHexWithoutLeadingZeros)
{
    SimSerialFaults cut;
    cut.cutAfter = 1; // multi-byte replies stop after their first byte
    sim.setFaults(cut);
    ctx.attemptCount = 1;
    ctx.interByteTimeout = 20;
    const QString incomplete =
        QStringLiteral("Відповідь отримана не повністю (перевищено час між байтами)");
    const QString writeFailed = QStringLiteral("Збій під час операції запису");
    struct Case {
        quint8 code;
        bool portOpen; // the rows with the port closed come last: it stays closed
        QString line1;
        QString line2;
    };
    const Case cases[] = {
        {0x81, true, QStringLiteral("Не виконана команда (0x) 81"), incomplete},
        {0x94, true, QStringLiteral("Не виконана команда (0x) 94"), incomplete},
        {0x0D, false, QStringLiteral("Не виконана команда (0x) D"), writeFailed},
        {0x02, false, QStringLiteral("Не виконана команда (0x) 2"), writeFailed},
        {0xAB, false, QStringLiteral("Не виконана команда (0x) AB"), writeFailed},
        {0x1F, false, QStringLiteral("Не виконана команда (0x) 1F"), writeFailed},
        {0xF0, false, QStringLiteral("Не виконана команда (0x) F0"), writeFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << int(c.code));
        if (!c.portOpen)
            ctx.port.reset(); // nothing to write to
        op.asked.clear();
        EXPECT_FALSE(ExecCommand(ctx, c.code));
        EXPECT_EQ(ctx.resultCode, c.portOpen ? ResIncomplete : ResWriteFailed);
        ASSERT_EQ(op.asked.size(), 1);
        EXPECT_EQ(op.asked[0].line1, c.line1);
        EXPECT_EQ(op.asked[0].line2, c.line2);
        EXPECT_EQ(ctx.messageText, c.line1);
    }
}

TEST_F(Exchange, FaultsGiveTheirResults)
{
    ctx.attemptCount = 1;
    ctx.replyTimeout = 300;
    ctx.interByteTimeout = 100;
    struct Case {
        const char* what;
        SimSerialFaults faults;
        bool configPosition;
        int result;
    };
    auto f = [](auto setup) {
        SimSerialFaults faults;
        setup(faults);
        return faults;
    };
    const Case cases[] = {
        {"silent", f([](SimSerialFaults& x) { x.silent = true; }), true, ResNoReply},
        {"mode switch", {}, false, ResNoReply},
        {"slow first byte", f([](SimSerialFaults& x) { x.firstByteDelayMs = 1000; }), true,
         ResNoReply},
        {"first byte in time", f([](SimSerialFaults& x) { x.firstByteDelayMs = 50; }), true, ResOk},
        {"slow gap", f([](SimSerialFaults& x) { x.byteGapMs = 400; }), true, ResIncomplete},
        {"gap in time", f([](SimSerialFaults& x) { x.byteGapMs = 10; }), true, ResOk},
        {"cut", f([](SimSerialFaults& x) { x.cutAfter = 3; }), true, ResIncomplete},
        {"extra bytes", f([](SimSerialFaults& x) { x.extraBytes = "\x11\x22\x33\x44"; }), true,
         ResOk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(sim.waitIdle(5000)); // a late answer of the case before is out
        sim.setFaults(c.faults);
        sim.setConfigPosition(c.configPosition);
        op.asked.clear();
        EXPECT_EQ(ExecCommand(ctx, 0x81), c.result == ResOk);
        EXPECT_EQ(ctx.resultCode, c.result);
        EXPECT_EQ(op.asked.size(), c.result == ResOk ? 0 : 1);
        if (c.result == ResOk) {
            EXPECT_EQ(reply(ctx, 6), bytesOf({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
        }
    }
}

TEST_F(Exchange, AttemptsPerPass)
{
    sim.setFaults([] {
        SimSerialFaults f;
        f.silent = true;
        return f;
    }());
    // Each attempt ends in a purge of the port, which on a pseudo-terminal also drops a frame
    // the simulator has not taken yet; the wait gives it ample time to take each one.
    ctx.replyTimeout = 300;
    struct Case {
        int attempts;
        int framesPerPass;
    };
    // An attempt count of 0 still makes one attempt instead of reporting success unsent.
    for (const Case c : {Case{1, 1}, Case{2, 2}, Case{5, 5}, Case{0, 1}}) {
        SCOPED_TRACE(c.attempts);
        ctx.attemptCount = quint8(c.attempts);
        sim.clearLog();
        op.answer({true, false});
        EXPECT_FALSE(ExecCommand(ctx, 0x03));
        // The simulator logs a frame on its own thread, possibly after the command returned.
        EXPECT_TRUE(sim.waitForFrames(2 * c.framesPerPass, 10000));
        EXPECT_EQ(sim.frameCount(), 2 * c.framesPerPass);
    }
}

TEST_F(Exchange, TimingOfTheLine)
{
    // 1200 bit/s makes the transmission time long enough to see: 10 x 4 bits = 33.3 ms.
    ctx.baudRate = 1200;
    ASSERT_TRUE(ExecCommand(ctx, 0x01));
    const ExchangeTrace& t = ctx.trace;
    EXPECT_EQ(t.frameLength, 3);
    EXPECT_GE(t.writeStart - t.rtsUp, 2 * kMs);
    EXPECT_EQ(t.transmitEnd - t.writeStart, TransmissionTimeNs(3, 1200));
    EXPECT_EQ(TransmissionTimeNs(3, 1200), 33'333'333);
    EXPECT_GE(t.rtsDown, t.transmitEnd);
    EXPECT_LT(t.rtsDown - t.transmitEnd, 500 * kMs); // not left up until the reply
    ASSERT_EQ(t.bytes.size(), 1);
    EXPECT_GE(t.bytes[0], t.rtsDown);
    EXPECT_GE(t.end, t.bytes[0]);

    // The first-byte deadline counts from RTS down.
    sim.setFaults([] {
        SimSerialFaults f;
        f.silent = true;
        return f;
    }());
    ctx.attemptCount = 1;
    ctx.replyTimeout = 150;
    EXPECT_FALSE(ExecCommand(ctx, 0x01));
    EXPECT_EQ(ctx.trace.replyDeadline - ctx.trace.rtsDown, 150 * kMs);
    EXPECT_GE(ctx.trace.end, ctx.trace.replyDeadline);
    EXPECT_LT(ctx.trace.end - ctx.trace.replyDeadline, 1000 * kMs);
    EXPECT_TRUE(ctx.trace.bytes.isEmpty());
}

TEST_F(Exchange, StaleAndExtraBytesDoNotConfuseTheNextCommand)
{
    SimSerialFaults faults;
    faults.extraBytes = bytesOf({0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE});
    sim.setFaults(faults);
    SimDeviceState state = sim.state();
    state.params.ports[0].port = 0x2345;
    sim.setState(state);

    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(ExecCommand(ctx, 0x01));
        EXPECT_EQ(reply(ctx, 1), bytesOf({39}));
        ASSERT_TRUE(ExecCommand(ctx, 0x64));
        EXPECT_EQ(reply(ctx, 2), bytesOf({0x45, 0x23}));
        ASSERT_TRUE(ExecCommand(ctx, 0x81));
        EXPECT_EQ(reply(ctx, 6), bytesOf({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
    }

    // Bytes left over from a reply that came too late are not taken as the next answer.
    faults = SimSerialFaults();
    faults.firstByteDelayMs = 200;
    sim.setFaults(faults);
    ctx.attemptCount = 1;
    ctx.replyTimeout = 50;
    EXPECT_FALSE(ExecCommand(ctx, 0x81));
    sim.setFaults(SimSerialFaults());
    ctx.replyTimeout = 2000;
    // Let the late MAC arrive, then ask for the version.
    ASSERT_TRUE(sim.waitIdle(5000));
    ASSERT_TRUE(ExecCommand(ctx, 0x01));
    EXPECT_EQ(reply(ctx, 1), bytesOf({39}));
    EXPECT_TRUE(ExecCommand(ctx, 0x64));
    EXPECT_EQ(reply(ctx, 2), bytesOf({0x45, 0x23}));
}

TEST_F(Exchange, ASecondCommandWhileOneRunsIsRefused)
{
    SimSerialFaults faults;
    faults.firstByteDelayMs = 300;
    sim.setFaults(faults);
    bool nestedResult = true;
    int nestedCalls = 0;
    QTimer::singleShot(50, [&] {
        ++nestedCalls;
        nestedResult = ExecCommand(ctx, 0x81);
        EXPECT_TRUE(ctx.exchangeRunning);
    });
    EXPECT_TRUE(ExecCommand(ctx, 0x01));
    EXPECT_EQ(nestedCalls, 1);
    EXPECT_FALSE(nestedResult);
    EXPECT_EQ(ctx.refusedCommands, 1u);
    EXPECT_EQ(ctx.resultCode, ResOk);
    EXPECT_EQ(reply(ctx, 1), bytesOf({39}));
    EXPECT_EQ(sim.frameCount(), 1);
    EXPECT_TRUE(op.asked.isEmpty());
    EXPECT_FALSE(ctx.exchangeRunning);

    // Also during the retry question.
    sim.setFaults([] {
        SimSerialFaults f;
        f.silent = true;
        return f;
    }());
    ctx.attemptCount = 1;
    ctx.replyTimeout = 30;
    class NestingOperator final : public Operator
    {
    public:
        explicit NestingOperator(LinkContext& ctx) : ctx_(ctx) {}
        bool ask(int, const QString&, const QString&) override
        {
            nested = ExecCommand(ctx_, 0x01);
            return false;
        }
        void busy(bool) override {}
        bool nested = true;

    private:
        LinkContext& ctx_;
    } nesting(ctx);
    Operator* previous = InstallOperator(&nesting);
    EXPECT_FALSE(ExecCommand(ctx, 0x01));
    InstallOperator(previous);
    EXPECT_FALSE(nesting.nested);
    EXPECT_EQ(ctx.refusedCommands, 2u);
    EXPECT_EQ(ctx.resultCode, ResNoReply);
}

TEST_F(Exchange, DeviceEndVanishingMidExchange)
{
    SimSerialFaults faults;
    faults.silent = true;
    sim.setFaults(faults);
    ctx.attemptCount = 2;
    ctx.replyTimeout = 5000;
    QTimer::singleShot(100, [&] { sim.closeMaster(); });
    op.answer({true, false}); // the retry question still works: one more pass, then stop

    QElapsedTimer wall;
    wall.start();
    EXPECT_FALSE(ExecCommand(ctx, 0x01));
    EXPECT_LT(wall.elapsed(), 4000); // ends without waiting out the reply time-out
    ASSERT_EQ(op.asked.size(), 2);
    for (const AskedMessage& m : op.asked) {
        EXPECT_EQ(m.kind, MsgRetry);
        EXPECT_EQ(m.line1, QStringLiteral("Не виконана команда (0x) 1"));
        EXPECT_TRUE(m.line2 == QStringLiteral("Збій під час операції запису") ||
                    m.line2 == QStringLiteral("Збій під час операції читання"))
            << qPrintable(m.line2);
    }
    EXPECT_TRUE(ctx.resultCode == ResWriteFailed || ctx.resultCode == ResReadFailed);
    EXPECT_EQ(sim.frameCount(), 1);
}

TEST_F(Exchange, BadCallsFailWithoutSending)
{
    const quint8 data[1] = {0};
    EXPECT_FALSE(ExecCommand(ctx, 0x10, data, -1));
    EXPECT_FALSE(ExecCommand(ctx, 0x10, data, kLinkBufferSize));
    EXPECT_EQ(ctx.resultCode, ResWriteFailed);
    EXPECT_FALSE(ExchangeOnce(ctx, 0));
    EXPECT_FALSE(ExchangeOnce(ctx, kLinkBufferSize + 1));
    EXPECT_TRUE(op.asked.isEmpty());
    EXPECT_TRUE(sim.receivedBytes().isEmpty());

    // Data without a pointer is no data.
    EXPECT_TRUE(ExecCommand(ctx, 0x02, nullptr, 4));
    EXPECT_EQ(sim.receivedBytes(), bytesOf({0x57, 0xAB, 0x02}));
}

} // namespace
