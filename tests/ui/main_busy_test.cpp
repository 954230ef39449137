// The main window while a menu item waits on the device: it repaints, but the operator's
// clicks do not reach it, and its close box is carried out only once the item has ended.

#include "config/program.h"
#include "link/qelbox.h"
#include "support/ui/linked_main.h"
#include "support/ui/operator_input.h"
#include "widgets/appoperator.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace
{

constexpr int kSimCom = 7;

class BusyMainWindow : public LinkedMainTest
{
protected:
    BusyMainWindow() : LinkedMainTest(kSimCom) {}

    void SetUp() override
    {
        LinkedMainTest::SetUp();
        if (HasFatalFailure())
            return;
        window->show();
        QApplication::processEvents();
    }

    QAction* item(const char* name) const { return window->findChild<QAction*>(name); }

    // Runs the event loop, as the main loop would after a menu item, until done() or for ms.
    static void runLoop(int ms, const std::function<bool()>& done)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < ms)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
};

struct BusyCase {
    const char* name;
    bool deviceAnswers; // late; otherwise it stays silent and the retry question gets "Ні"
    enum Input { CloseBox, ExitItem, ConnectItem } input;
    // After the item has ended:
    bool windowOpen;
    bool noticeShown; // the TCP state notice of the item
};

void PrintTo(const BusyCase& c, std::ostream* os)
{
    *os << c.name;
}

class BusyMainWindowInput : public BusyMainWindow, public ::testing::WithParamInterface<BusyCase>
{
};

TEST_P(BusyMainWindowInput, WaitsForTheItemToEnd)
{
    const BusyCase& c = GetParam();
    LinkContext* link = window->linkContext();
    SimSerialFaults faults;
    if (c.deviceAnswers) {
        faults.firstByteDelayMs = 600;
        link->replyTimeout = 10000;
    } else {
        faults.silent = true;
        link->replyTimeout = 1500;
    }
    sim.setFaults(faults);
    sim.clearLog();

    bool exchangeWasRunning = false;
    DuringExchange input([&] {
        exchangeWasRunning = link->exchangeRunning;
        switch (c.input) {
        case BusyCase::CloseBox:
            PressCloseBox(window.get());
            break;
        case BusyCase::ExitItem:
            ClickMenuBarItem(window->menuBar(), item("NExit"));
            break;
        case BusyCase::ConnectItem:
            ClickMenuBarItem(window->menuBar(), item("Nconnect"));
            break;
        }
        EXPECT_TRUE(window->isVisible()) << "nothing closes while the device is asked";
        EXPECT_NE(window->linkContext(), nullptr);
    });

    item("N11")->trigger(); // "Стан TCP підключення порту 1"

    ASSERT_TRUE(input.acted());
    EXPECT_TRUE(exchangeWasRunning);
    EXPECT_FALSE(window->findChild<QTimer*>("TimerStart")->isActive())
        << "no connect flow was asked for";
    // A close still to come is carried out at the first turns of the loop.
    runLoop(c.windowOpen ? 300 : 10000, [&] { return !window->isVisible(); });

    EXPECT_EQ(sim.frameCount(), 1) << "one command, and nothing after it";
    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].kind, c.noticeShown ? MsgNotice : MsgRetry);
    EXPECT_EQ(window->isVisible(), c.windowOpen);
    if (c.windowOpen) {
        ASSERT_NE(window->linkContext(), nullptr);
        EXPECT_NE(window->linkContext()->port, nullptr) << "the link is kept";
        EXPECT_EQ(window->linkContext()->refusedCommands, 0u) << "no second command was tried";
        EXPECT_EQ(Program().connected, 1);
    } else {
        EXPECT_EQ(window->linkContext(), nullptr) << "the close freed the link context";
        EXPECT_EQ(Program().connected, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    DuringAQuery, BusyMainWindowInput,
    ::testing::Values(
        // The close is carried out when the item has ended: after its question...
        BusyCase{"CloseBoxThenNoAnswer", false, BusyCase::CloseBox, false, false},
        // ...or after the notice of the answer that came.
        BusyCase{"CloseBoxThenLateAnswer", true, BusyCase::CloseBox, false, true},
        // Clicks on the menu do nothing; the window and its link stay as they were.
        BusyCase{"ExitItem", false, BusyCase::ExitItem, true, false},
        BusyCase{"ExitItemThenLateAnswer", true, BusyCase::ExitItem, true, true},
        BusyCase{"ConnectItem", false, BusyCase::ConnectItem, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

// The retry question asked from within the exchange takes the operator's input as usual.
TEST_F(BusyMainWindow, TheRetryQuestionTakesTheOperatorsClick)
{
    SimSerialFaults faults;
    faults.silent = true;
    sim.setFaults(faults);
    AppOperator real;
    Operator* const scripted = InstallOperator(&real);

    QString asked;
    bool forced = false; // the click did not get through, and the test ended the question
    QTimer answer;
    answer.setInterval(10);
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* question = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!question || !question->isVisible())
            return;
        if (clock.elapsed() > 20000) {
            forced = true;
            question->done(QDialog::Rejected);
            return;
        }
        if (!asked.isEmpty())
            return;
        asked = question->findChild<QLabel*>("Label3")->text();
        ClickWidget(question->findChild<QPushButton*>("BitBtn2")); // "Ні"
    });
    answer.start();

    item("N11")->trigger();
    InstallOperator(scripted);

    EXPECT_EQ(asked, "Повторити спробу?");
    EXPECT_FALSE(forced) << "the click on \"Ні\" ended the question";
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(sim.frameCount(), 1) << "\"Ні\": no second pass";
}
