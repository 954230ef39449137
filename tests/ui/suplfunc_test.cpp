// The status line, the connection parameters shown in it, and the integer key filter.

#include "config/rd_wr_ini.h"
#include "widgets/statusline.h"
#include "widgets/suplfunc.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace
{

TEST(StatusLineTest, FourPlainPanelsAtTheDesignWidths)
{
    StatusLine bar;
    EXPECT_EQ(bar.objectName(), "StatusBar1");
    EXPECT_EQ(bar.height(), 28);
    const int widths[] = {110, 330, 360, 50};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(bar.panelWidth(i), widths[i]) << i;
    for (const QLabel* panel : bar.findChildren<QLabel*>())
        EXPECT_EQ(panel->textFormat(), Qt::PlainText);

    bar.setText(3, "Обмін...");
    bar.setPanelWidth(2, 239);
    EXPECT_EQ(bar.text(3), "Обмін...");
    EXPECT_EQ(bar.panelWidth(2), 239);

    bar.setText(4, "x");
    bar.setText(-1, "x");
    bar.setPanelWidth(4, 10);
    EXPECT_EQ(bar.text(4), "");
    EXPECT_EQ(bar.panelWidth(-1), 0);
    EXPECT_EQ(bar.panelWidth(3), 50);
}

struct ConnCase {
    const char* name;
    quint8 connPrz;
    quint8 usersNum;
    quint8 userIndex;
    QString panel0;
};

void PrintTo(const ConnCase& c, std::ostream* os)
{
    *os << c.name;
}

class ShowConnParamsTest : public ::testing::TestWithParam<ConnCase>
{
};

TEST_P(ShowConnParamsTest, Panel0ShowsTheCurrentLink)
{
    const ConnCase& c = GetParam();
    ConnSettings& s = ConnSet().cur;
    s = ConnSettings();
    s.Conn_Prz = c.connPrz;
    s.COMPort = 3;
    s.Rate = 9600;
    s.book.users_num = c.usersNum;
    s.book.user_index = c.userIndex;
    s.book.abonents[0].ip_adr = {10, 0, 0, 1};
    s.book.abonents[1].ip_adr = {192, 168, 1, 100};

    StatusLine bar;
    bar.setText(0, "старий текст");
    bar.setText(1, "старий текст");
    ShowConnParams(&bar);
    EXPECT_EQ(bar.text(0), c.panel0);
    EXPECT_EQ(bar.text(1), "");
    ConnSet().cur = ConnSettings();
}

INSTANTIATE_TEST_SUITE_P(
    Links, ShowConnParamsTest,
    ::testing::Values(ConnCase{"SerialPortAndRate", 0, 0, 0, " COM3,   9600 біт/с"},
                      ConnCase{"EthernetWithoutAbonents", 1, 0, 0, ""},
                      ConnCase{"EthernetCurrentAbonent", 1, 2, 1, " IP-адр. 192.168.1.100"},
                      ConnCase{"EthernetIndexBeyondTheBook", 1, 2, 2, ""},
                      ConnCase{"UnknownLinkType", 2, 2, 1, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ShowConnParamsNull, NoStatusLineIsNoCrash)
{
    ShowConnParams(nullptr);
}

TEST(EditIntKeyPressTest, DigitsBackspacePercentAndApostrophePass)
{
    for (QChar c : QStringLiteral("0123456789\b%'")) {
        QChar key = c;
        EditIntKeyPress(nullptr, key);
        EXPECT_EQ(key, c) << int(c.unicode());
    }
    for (QChar c : QStringLiteral("aZЖі-+ .,\t\r")) {
        QChar key = c;
        EditIntKeyPress(nullptr, key);
        EXPECT_TRUE(key.isNull()) << int(c.unicode());
    }
}

void type(QLineEdit& edit, Qt::Key key, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(&edit, &press);
}

TEST(IntKeyFilterTest, FiltersTypedCharactersOnly)
{
    QLineEdit edit;
    InstallIntKeyFilter(&edit);
    type(edit, Qt::Key_1, "1");
    type(edit, Qt::Key_A, "a");
    type(edit, Qt::Key_Minus, "-");
    type(edit, Qt::Key_Percent, "%");
    type(edit, Qt::Key_Space, " ");
    type(edit, Qt::Key_2, "2");
    EXPECT_EQ(edit.text(), "1%2");

    type(edit, Qt::Key_Backspace, "\b");
    EXPECT_EQ(edit.text(), "1%");
    type(edit, Qt::Key_Home, "");
    type(edit, Qt::Key_7, "7");
    EXPECT_EQ(edit.text(), "71%") << "navigation keys reach the field";

    edit.setText("abc");
    EXPECT_EQ(edit.text(), "abc") << "text set by the program is not filtered";
}

} // namespace
