// The "Дані" items of the main window: the TCP state of either port and the MAC address
// dialog, against the simulated device.

#include "app/comm_data.h"
#include "support/qt_printers.h"
#include "support/ui/linked_main.h"
#include "support/ui/modal_answer.h"

#include <QAction>
#include <QApplication>

#include <gtest/gtest.h>

namespace
{

constexpr int kSimCom = 7;

class DataQueries : public LinkedMainTest
{
protected:
    DataQueries() : LinkedMainTest(kSimCom) {}

    QAction* item(const char* name) const { return window->findChild<QAction*>(name); }
    // An item the operator can reach: it and the "Дані" submenu are enabled.
    bool reachable(const char* name) const
    {
        return item("NData")->isEnabled() && item(name)->isEnabled();
    }
};

} // namespace

TEST_F(DataQueries, TcpStateOfEitherPortIsANotice)
{
    struct Case {
        const char* item;
        int port;
        quint8 state;
        const char* frame;
        const char* text;
    };
    const Case cases[] = {
        {"N11", 1, 0, "57 ab 03", "Стан TCP підключення порту 1 - непідключений."},
        {"N11", 1, 1, "57 ab 03", "Стан TCP підключення порту 1 - підключений."},
        {"N11", 1, 2, "57 ab 03", "Стан TCP підключення порту 1 - непідключений."},
        {"N21", 2, 0, "57 ab 04", "Стан TCP підключення порту 2 - непідключений."},
        {"N21", 2, 1, "57 ab 04", "Стан TCP підключення порту 2 - підключений."},
        {"N21", 2, 2, "57 ab 04", "Стан TCP підключення порту 2 - непідключений."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.item << " state " << int(c.state));
        sim.setTcpState(c.port, c.state);
        sim.setTcpState(3 - c.port, c.state == 1 ? 0 : 1); // the other port says the opposite
        sim.clearLog();
        op.asked.clear();

        item(c.item)->trigger();

        EXPECT_EQ(sim.receivedBytes().toHex(' '), QByteArray(c.frame));
        ASSERT_EQ(op.asked.size(), 1);
        EXPECT_EQ(op.asked[0].kind, MsgNotice);
        EXPECT_EQ(op.asked[0].line1, QString::fromUtf8(c.text));
        EXPECT_EQ(op.asked[0].line2, QString());
    }
}

TEST_F(DataQueries, MacAddressDialogShowsTheSixBytesInHex)
{
    sim.setMac({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});
    sim.clearLog();
    ModalAnswer answer("BitBtn5");
    QRect panel;
    bool panelShown = false;
    QPoint centre;
    answer.inspect = [&](QWidget* dialog) {
        const QWidget* pn3 = dialog->findChild<QWidget*>("pn3");
        ASSERT_NE(pn3, nullptr);
        panel = pn3->geometry();
        panelShown = pn3->isVisible();
        centre = dialog->frameGeometry().center();
    };

    item("N2")->trigger();

    ASSERT_TRUE(answer.answered());
    const SeenDialog& seen = answer.seen();
    EXPECT_EQ(seen.caption, QStringLiteral(" Команда пристрою"));
    const char* expected[] = {"00", "1A", "2B", "3C", "4D", "5E"};
    for (int i = 0; i < 6; ++i) {
        const QString field = QStringLiteral("ma%1").arg(i + 1);
        EXPECT_EQ(seen.labels.value(field), QString(expected[i])) << field.toStdString();
    }
    EXPECT_TRUE(panelShown);
    EXPECT_EQ(panel, QRect(2, 2, 445, 79));
    EXPECT_EQ(seen.size, QSize(467, 123));
    EXPECT_EQ(seen.focus, QStringLiteral("BitBtn5"));
    EXPECT_EQ(centre, window->frameGeometry().center()) << "centred on the main window";

    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "\"Вихід\" closed the dialog";
    EXPECT_EQ(sim.receivedBytes().toHex(' '), QByteArray("57 ab 81")) << "nothing sent after";
    EXPECT_TRUE(op.asked.isEmpty());
}

TEST(CommDataForm, ANewFormShowsZeroBytes)
{
    TFormComm_Data form;
    ModalAnswer answer("BitBtn5");
    form.exec();
    ASSERT_TRUE(answer.answered());
    for (int i = 1; i <= 6; ++i)
        EXPECT_EQ(answer.seen().labels.value(QStringLiteral("ma%1").arg(i)), QString("00")) << i;
}

TEST_F(DataQueries, ASilentDeviceEndsTheItemAtTheRetryQuestion)
{
    const struct {
        const char* item;
        char code;
    } cases[] = {{"N11", 0x03}, {"N21", 0x04}, {"N2", char(0x81)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        SimSerialFaults faults;
        faults.silentCodes = QByteArray(1, c.code);
        sim.setFaults(faults);
        sim.clearLog();
        op.asked.clear();
        UnexpectedDialogs dialogs;

        item(c.item)->trigger(); // the scripted operator answers "Ні"

        ASSERT_EQ(op.asked.size(), 1) << "the question and no notice after it";
        EXPECT_EQ(op.asked[0].kind, MsgRetry);
        EXPECT_EQ(dialogs.captions, QStringList());
        EXPECT_EQ(sim.frameCount(), 1);
    }
}

TEST_F(DataQueries, ItemsAreReachableOnlyWithASerialLink)
{
    for (const char* name : {"N11", "N21", "N2"})
        EXPECT_TRUE(reachable(name)) << name;

    window->CloseLink();
    window->SetMenuState();
    for (const char* name : {"N11", "N21", "N2"})
        EXPECT_FALSE(reachable(name)) << name;
}
