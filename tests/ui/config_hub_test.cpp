// The configuration hub: its working copy, the sub-dialogs on it, accept and cancel.

#include "editors/config.h"
#include "support/qt_printers.h"
#include "support/scripted_operator.h"
#include "support/ui/modal_answer.h"
#include "support/ui/operator_input.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>

namespace
{

DeviceConfig sampleRecord()
{
    DeviceConfig r;
    MakeEmptyConfig(r);
    r.ports[0].port = 4001;
    r.ports[1].port = 4002;
    return r;
}

class ConfigHubTest : public ::testing::Test
{
protected:
    void open(EditMode mode)
    {
        hub = std::make_unique<TFormConfig>(target, mode);
        hub->show();
    }
    QPushButton* button(const char* name) const
    {
        auto* b = hub->findChild<QPushButton*>(name);
        EXPECT_NE(b, nullptr) << name;
        return b;
    }
    // Opens a sub-dialog with its button, changes it with edit and answers with answerButton.
    void editSubDialog(const char* opener, std::function<void(QWidget*)> edit,
                       const char* answerButton)
    {
        ModalAnswer answer(answerButton);
        answer.inspect = std::move(edit);
        button(opener)->click();
        ASSERT_TRUE(answer.answered());
        seen = answer.seen().caption;
    }
    static void setLocalPort(QWidget* portDialog, const char* value)
    {
        portDialog->findChild<QLineEdit*>("Edit1")->setText(value);
    }

    DeviceConfig target = sampleRecord();
    ScriptedOperator op;
    std::unique_ptr<TFormConfig> hub;
    QString seen;
};

TEST_F(ConfigHubTest, ShowsTheVersionAndTheAcceptButtonOfTheMode)
{
    target.box_vers = 39;
    open(EditMode::AcceptInto);
    EXPECT_EQ(hub->windowTitle(), " Параметри конфігурування пристрою");
    EXPECT_EQ(hub->size(), QSize(334, 236));
    EXPECT_EQ(hub->findChild<QLabel*>("Panel9")->text(), "39");
    EXPECT_TRUE(button("BitBtn2")->isVisible());
    EXPECT_FALSE(button("BitBtn3")->isVisible());
    hub.reset();
    open(EditMode::WriteDevice);
    EXPECT_FALSE(button("BitBtn2")->isVisible());
    EXPECT_TRUE(button("BitBtn3")->isVisible());
    EXPECT_EQ(button("BitBtn3")->text(), "Записати у пристрій");
    EXPECT_EQ(button("BitBtn2")->geometry(), button("BitBtn3")->geometry());
}

// The sub-dialogs change the working copy only; the target takes it on accept.
TEST_F(ConfigHubTest, AcceptHandsOverWhatTheSubDialogsAccepted)
{
    open(EditMode::WriteDevice);
    editSubDialog(
        "bt2", [](QWidget* d) { setLocalPort(d, "5001"); }, "BitBtn1");
    EXPECT_EQ(seen, "Параметри Ethernet-порту 1");
    editSubDialog(
        "bt3", [](QWidget* d) { setLocalPort(d, "5002"); }, "BitBtn1");
    EXPECT_EQ(seen, "Параметри Ethernet-порту 2");
    // A port edit left with "Відмінити" changes nothing.
    editSubDialog(
        "bt2", [](QWidget* d) { setLocalPort(d, "9999"); }, "BitBtn2");
    // The Ethernet dialog writes the mode at once, even when it is then cancelled.
    editSubDialog(
        "bt1",
        [](QWidget* d) {
            auto* modes = d->findChild<QComboBox*>("ComboBox1");
            modes->setCurrentIndex(1);
            emit modes->activated(1);
        },
        "BitBtn2");
    EXPECT_EQ(seen, " Параметри зв'язку Ethernet");
    EXPECT_TRUE(target == sampleRecord()) << "nothing before the hub's accept";

    button("BitBtn3")->click();
    EXPECT_TRUE(hub->isAccepted());
    DeviceConfig want = sampleRecord();
    want.ports[0].port = 5001;
    want.ports[1].port = 5002;
    want.net.ip_prz = 1;
    EXPECT_TRUE(target == want);
    EXPECT_TRUE(op.asked.isEmpty());
}

// A sub-dialog accepted, then the hub cancelled ("Відмінити", Esc or the close box): the
// target stays as it was.
TEST_F(ConfigHubTest, CancelKeepsTheTarget)
{
    enum End { CancelButton, Escape, CloseBox };
    for (End end : {CancelButton, Escape, CloseBox}) {
        SCOPED_TRACE(int(end));
        open(EditMode::AcceptInto);
        editSubDialog(
            "bt2", [](QWidget* d) { setLocalPort(d, "5001"); }, "BitBtn1");
        switch (end) {
        case CancelButton:
            button("BitBtn1")->click();
            break;
        case Escape:
            PressKey(hub.get(), Qt::Key_Escape);
            break;
        case CloseBox:
            PressCloseBox(hub.get());
            break;
        }
        EXPECT_FALSE(hub->isVisible());
        EXPECT_FALSE(hub->isAccepted());
        EXPECT_TRUE(target == sampleRecord());
    }
}

} // namespace
