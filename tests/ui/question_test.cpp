// The message dialog: layout and buttons per kind, and the answer it leaves.

#include "support/ui/modal_answer.h"
#include "widgets/appoperator.h"
#include "widgets/question.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

namespace
{

struct LayoutCase {
    const char* name;
    int kind;
    QString text1;
    QString text2;
    QString caption;
    QString line3;
    QSize size;
    bool questionButtons; // "Ні" and "Так" instead of the acknowledge button
};

void PrintTo(const LayoutCase& c, std::ostream* os)
{
    *os << c.name;
}

class MessageLayout : public ::testing::TestWithParam<LayoutCase>
{
};

TEST_P(MessageLayout, SizesLinesAndButtons)
{
    const LayoutCase& c = GetParam();
    MessageKind = c.kind;
    ModalAnswer answer(c.questionButtons ? "BitBtn2" : "BitBtn3");
    ShowMessage(c.text1, c.text2);
    ASSERT_TRUE(answer.answered());
    const SeenDialog& seen = answer.seen();

    EXPECT_EQ(seen.caption, c.caption);
    EXPECT_EQ(seen.labels.value("Label1"), c.text1);
    EXPECT_EQ(seen.labels.value("Label2"), c.text2);
    EXPECT_EQ(seen.labels.value("Label3"), c.line3);
    EXPECT_EQ(seen.size, c.size);
    EXPECT_EQ(MessageKind, c.kind) << "the dialog leaves the kind as the caller set it";

    const int w = c.size.width();
    const int bottom = c.size.height();
    if (c.questionButtons) {
        ASSERT_TRUE(seen.buttons.contains("BitBtn1") && seen.buttons.contains("BitBtn2"));
        EXPECT_FALSE(seen.buttons.contains("BitBtn3"));
        const QRect yes = seen.buttons["BitBtn1"], no = seen.buttons["BitBtn2"];
        const int gap = (w - 68 - 68) / 3 - 3;
        EXPECT_EQ(no.left(), gap) << "\"Ні\" on the left";
        EXPECT_EQ(yes.left(), gap + 68 + gap) << "\"Так\" on the right";
        EXPECT_EQ(seen.focus, "BitBtn1");
        EXPECT_LE(yes.bottom(), bottom);
    } else {
        ASSERT_TRUE(seen.buttons.contains("BitBtn3"));
        EXPECT_FALSE(seen.buttons.contains("BitBtn1") || seen.buttons.contains("BitBtn2"));
        EXPECT_EQ(seen.buttons["BitBtn3"].left(), (w - 68) / 2);
        EXPECT_EQ(seen.focus, "BitBtn3");
        EXPECT_LE(seen.buttons["BitBtn3"].bottom(), bottom);
    }
}

const QString k60 = QString(60, QChar(u'Ж'));

INSTANTIATE_TEST_SUITE_P(
    Kinds, MessageLayout,
    ::testing::Values(
        LayoutCase{
            "NoticeOneShortLineIsAtLeast196Wide", 6, "Готово", "", "", "", {196, 124}, false},
        LayoutCase{"ErrorWithSixtyCharacterLine", 1, k60, "", "Помилка", "", {620, 124}, false},
        LayoutCase{"InputErrorCaptionIsTheLongestText",
                   2,
                   "Порт",
                   "1..65535",
                   "Помилка вводу параметрів",
                   "",
                   {260, 150},
                   false},
        LayoutCase{"QuestionShortText", 3, "Замінити?", "", "", "", {196, 124}, true},
        LayoutCase{"RetryWithTwoLines",
                   7,
                   "Пристрій не відповідає",
                   "Перевірте перемикач",
                   "",
                   "Повторити спробу?",
                   {240, 175},
                   true},
        LayoutCase{
            "RetryWithEmptySecondLine", 7, "Збій", "", "", "Повторити спробу?", {196, 175}, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct AnswerCase {
    const char* name;
    int kind;
    ModalAnswer::Action action;
    const char* button;
    quint8 expected;
};

void PrintTo(const AnswerCase& c, std::ostream* os)
{
    *os << c.name;
}

class MessageAnswer : public ::testing::TestWithParam<AnswerCase>
{
};

TEST_P(MessageAnswer, LeavesTheAnswerFlag)
{
    const AnswerCase& c = GetParam();
    AnswerFlag = 1; // a new dialog starts from 0 whatever the last answer was
    MessageKind = c.kind;
    ModalAnswer answer(c.action, c.button);
    ShowMessage("Перший рядок", "Другий рядок");
    ASSERT_TRUE(answer.answered());
    EXPECT_EQ(AnswerFlag, c.expected);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the dialog has closed";
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, MessageAnswer,
    ::testing::Values(
        AnswerCase{"YesGivesOne", 3, ModalAnswer::Action::Click, "BitBtn1", 1},
        AnswerCase{"NoGivesZero", 7, ModalAnswer::Action::Click, "BitBtn2", 0},
        AnswerCase{"EscOnQuestionGivesZero", 7, ModalAnswer::Action::PressEscape, "", 0},
        AnswerCase{"CloseBoxOnQuestionGivesZero", 3, ModalAnswer::Action::CloseWindow, "", 0},
        AnswerCase{"AcknowledgeGivesZero", 1, ModalAnswer::Action::Click, "BitBtn3", 0},
        AnswerCase{"EscOnNoticeClosesIt", 6, ModalAnswer::Action::PressEscape, "", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MessageDialog, LinesAreShownAsPlainText)
{
    MessageKind = 6;
    ModalAnswer answer("BitBtn3");
    answer.inspect = [](QWidget* dialog) {
        for (const char* name : {"Label1", "Label2", "Label3"}) {
            const auto* label = dialog->findChild<QLabel*>(name);
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << name;
            EXPECT_EQ(label->width(), dialog->width() - 14) << name;
        }
    };
    ShowMessage("<b>COM3</b>", "<img src=x>");
    ASSERT_TRUE(answer.answered());
    EXPECT_EQ(answer.seen().labels.value("Label1"), "<b>COM3</b>");
}

TEST(AppOperatorTest, AskShowsTheDialogOfTheKindAndReportsYes)
{
    AppOperator op;
    {
        ModalAnswer answer("BitBtn1");
        EXPECT_TRUE(op.ask(7, "Пристрій не відповідає", ""));
        EXPECT_EQ(answer.seen().labels.value("Label3"), "Повторити спробу?");
        EXPECT_EQ(MessageKind, 7);
    }
    {
        ModalAnswer answer(ModalAnswer::Action::CloseWindow);
        EXPECT_FALSE(op.ask(3, "Замінити файл?", ""));
    }
}

TEST(AppOperatorTest, WaitCursorNestsAndIgnoresAnUnmatchedOff)
{
    AppOperator op;
    op.busy(false); // nothing to switch off
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    op.busy(true);
    op.busy(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    op.busy(false);
    EXPECT_NE(QApplication::overrideCursor(), nullptr) << "the outer operation still runs";
    op.busy(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    op.busy(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(AppOperatorTest, QuestionDuringAnOperationShowsTheNormalCursor)
{
    AppOperator op;
    op.busy(true);
    ModalAnswer answer("BitBtn2");
    Qt::CursorShape during = Qt::WaitCursor;
    answer.inspect = [&](QWidget*) { during = QApplication::overrideCursor()->shape(); };
    op.ask(7, "Збій", "");
    EXPECT_EQ(during, Qt::ArrowCursor);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    op.busy(false);
}

// The notice of a list shows its title and every line as plain text, whatever they hold,
// with the normal cursor during an operation.
TEST(AppOperatorTest, ANoticeOfAListShowsEveryLineAsPlainText)
{
    AppOperator op;
    op.busy(true);
    const QStringList lines = {"Найменування пристрою: записано <b>A</b>, прочитано <i>B</i>",
                               "Порт 2: швидкість передачі: записано 115200, прочитано 9600"};
    ModalAnswer answer("BitBtn3");
    QString shown;
    Qt::TextFormat titleFormat = Qt::RichText;
    Qt::CursorShape during = Qt::WaitCursor;
    answer.inspect = [&](QWidget* d) {
        shown = d->findChild<QPlainTextEdit*>("Memo1")->toPlainText();
        titleFormat = d->findChild<QLabel*>("Label1")->textFormat();
        during = QApplication::overrideCursor()->shape();
    };
    op.notice("Пристрій зберіг <b>не</b> те, що записано:", lines);
    ASSERT_TRUE(answer.answered());
    EXPECT_EQ(answer.seen().labels.value("Label1"), "Пристрій зберіг <b>не</b> те, що записано:");
    EXPECT_EQ(titleFormat, Qt::PlainText);
    EXPECT_EQ(shown, lines.join('\n'));
    EXPECT_EQ(during, Qt::ArrowCursor);
    op.busy(false);
}

// An operator with no list of its own shows the lines under the title in a notice.
TEST(OperatorTest, ANoticeOfAListFallsBackToTheMessageDialog)
{
    struct Recorder final : Operator {
        bool ask(int kind, const QString& line1, const QString& line2) override
        {
            seen << QString::number(kind) << line1 << line2;
            return true;
        }
        void busy(bool) override {}
        QStringList seen;
    } recorder;
    recorder.notice("T", {"a", "b"});
    EXPECT_EQ(recorder.seen, (QStringList{QString::number(MsgNotice), "T", "a\nb"}));
}

} // namespace
