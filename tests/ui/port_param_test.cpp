// The port parameters dialog: its lists, what it shows of a port group, the client and server
// modes, what accept refuses and what it stores.

#include "editors/port_param.h"
#include "support/qt_printers.h"
#include "support/scripted_operator.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace
{

const QString kNotAll = QStringLiteral("Уведені не всі параметри");

// A port in TCP client mode with every field set.
PortConfig sampleGroup()
{
    PortConfig p;
    p.regim = 1;
    p.port = 50000;
    p.remote_ip_adr = {192, 168, 1, 20};
    p.remote_port = 8080;
    p.rate = 115200;
    p.port_sett = {2, 1, 7};
    p.timeout = 200;
    return p;
}

QStringList items(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

class PortParamTest : public ::testing::Test
{
public: // the case tables act through the fixture
    void open(int port = 1, EditMode mode = EditMode::AcceptInto)
    {
        dialog = std::make_unique<TFormPort_Param>(group, port, mode);
        dialog->show();
    }
    template <class T> T* child(const QString& name) const
    {
        T* w = dialog->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QLineEdit* edit(const QString& name) const { return child<QLineEdit>(name); }
    QComboBox* combo(const QString& name) const { return child<QComboBox>(name); }
    void chooseMode(int index)
    {
        combo("ComboBox1")->setCurrentIndex(index);
        emit combo("ComboBox1")->activated(index);
    }
    QStringList remote() const
    {
        QStringList out{edit("Edit2")->text()};
        for (int k = 1; k <= 4; ++k)
            out << edit(QStringLiteral("ip%1").arg(k))->text();
        return out;
    }
    bool remoteEnabled() const
    {
        bool all = edit("Edit2")->isEnabled();
        for (int k = 1; k <= 4; ++k)
            all &= edit(QStringLiteral("ip%1").arg(k))->isEnabled();
        return all;
    }
    bool remoteDisabled() const
    {
        bool none = !edit("Edit2")->isEnabled();
        for (int k = 1; k <= 4; ++k)
            none &= !edit(QStringLiteral("ip%1").arg(k))->isEnabled();
        return none;
    }
    void accept() { child<QPushButton>("BitBtn1")->click(); }

    PortConfig group = sampleGroup();
    ScriptedOperator op;
    std::unique_ptr<TFormPort_Param> dialog;
};

TEST_F(PortParamTest, ListsCaptionAndWhatItShows)
{
    open(2);
    EXPECT_EQ(dialog->windowTitle(), "Параметри Ethernet-порту 2");
    EXPECT_EQ(dialog->size(), QSize(416, 460));
    EXPECT_EQ(child<QGroupBox>("GroupBox1")->title(), " Параметри Ethernet ");
    EXPECT_EQ(child<QGroupBox>("GroupBox2")->title(), " Параметри  СОМ порту ");
    EXPECT_EQ(items(combo("ComboBox1")),
              QStringList({"TCP server", "TCP client", "UDP server", "UDP client"}));
    EXPECT_EQ(items(combo("ComboBox3")), QStringList({"Без stop біта", "1      stop біт",
                                                      "2      stop біта", "1,5   stop біта"}));
    EXPECT_EQ(items(combo("ComboBox4")), QStringList({"Odd", "Even", "Mark", "Space", "None"}));
    EXPECT_EQ(items(combo("ComboBox5")), QStringList({"7", "8"}));
    const QStringList rates = items(combo("ComboBox2"));
    ASSERT_EQ(rates.size(), 22);
    EXPECT_EQ(rates.first(), "300");
    EXPECT_EQ(rates[11], "9600");
    EXPECT_EQ(rates.last(), "230400");

    EXPECT_EQ(combo("ComboBox1")->currentText(), "TCP client");
    EXPECT_EQ(edit("Edit1")->text(), "50000");
    EXPECT_EQ(remote(), QStringList({"8080", "192", "168", "1", "20"}));
    EXPECT_TRUE(remoteEnabled());
    EXPECT_EQ(combo("ComboBox2")->currentText(), "115200");
    EXPECT_EQ(combo("ComboBox3")->currentIndex(), 2);
    EXPECT_EQ(combo("ComboBox4")->currentIndex(), 1);
    EXPECT_EQ(combo("ComboBox5")->currentText(), "7");
    EXPECT_EQ(edit("Edit3")->text(), "200");
    EXPECT_EQ(edit("Edit3")->maxLength(), 3);
    EXPECT_TRUE(child<QPushButton>("BitBtn1")->isVisible());
    EXPECT_FALSE(child<QPushButton>("BitBtn3")->isVisible());

    dialog.reset();
    open(1, EditMode::WriteDevice);
    EXPECT_EQ(dialog->windowTitle(), "Параметри Ethernet-порту 1");
    EXPECT_FALSE(child<QPushButton>("BitBtn1")->isVisible());
    EXPECT_TRUE(child<QPushButton>("BitBtn3")->isVisible());
    EXPECT_EQ(child<QPushButton>("BitBtn1")->geometry(), child<QPushButton>("BitBtn3")->geometry());
}

// Values without an item of their list show no choice: a rate from a file that is not in the
// table, data bits other than 7 or 8, an unknown mode.
TEST_F(PortParamTest, ValuesWithoutAnItemShowNoChoice)
{
    group.rate = 250000;
    group.port_sett = {5, 9, 6};
    group.regim = 7;
    open();
    for (const char* list : {"ComboBox1", "ComboBox2", "ComboBox3", "ComboBox4", "ComboBox5"})
        EXPECT_EQ(combo(list)->currentIndex(), -1) << list;
    accept();
    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].line1, kNotAll);
    PortConfig want = sampleGroup();
    want.rate = 250000;
    want.port_sett = {5, 9, 6};
    want.regim = 7;
    EXPECT_TRUE(group == want) << "the opener's group is untouched";
}

// The server modes empty and grey the remote fields; the working copy keeps the remote
// values, which show again in a client mode and survive an accept in a server mode.
TEST_F(PortParamTest, ServerModesGreyTheRemoteFieldsAndKeepTheirValues)
{
    open();
    chooseMode(2); // UDP server
    EXPECT_EQ(remote(), QStringList({"", "", "", "", ""}));
    EXPECT_TRUE(remoteDisabled());
    chooseMode(3); // UDP client
    EXPECT_EQ(remote(), QStringList({"8080", "192", "168", "1", "20"}));
    EXPECT_TRUE(remoteEnabled());
    chooseMode(0); // TCP server
    accept();
    EXPECT_TRUE(op.asked.isEmpty());
    ASSERT_TRUE(dialog->isAccepted());
    PortConfig want = sampleGroup();
    want.regim = 0;
    EXPECT_TRUE(group == want);
}

TEST_F(PortParamTest, AcceptRefusesWhatTheGroupCannotHold)
{
    struct Case {
        const char* name;
        std::function<void(PortParamTest&)> input;
        const char* focus;
        int kind;
        QString line1, line2;
    };
    const QString range1 = QStringLiteral("Введіть значення ");
    const QString range2 = QStringLiteral("відповідно до заданого діапазону");
    const auto set = [](const char* field, const char* text) {
        return [=](PortParamTest& t) { t.edit(field)->setText(QString::fromUtf8(text)); };
    };
    const Case cases[] = {
        {"EmptyLocalPort", set("Edit1", ""), "Edit1", MsgInputError, kNotAll, ""},
        {"EmptyTimeout", set("Edit3", ""), "Edit3", MsgInputError, kNotAll, ""},
        {"NoDataBits", [](PortParamTest& t) { t.combo("ComboBox5")->setCurrentIndex(-1); },
         "ComboBox5", MsgInputError, kNotAll, ""},
        {"ClientWithAnEmptyRemoteOctet", set("ip3", ""), "ip3", MsgInputError, kNotAll, ""},
        {"ClientWithAnEmptyRemotePort", set("Edit2", ""), "Edit2", MsgInputError, kNotAll, ""},
        {"Timeout256", set("Edit3", "256"), "Edit3", MsgInputError,
         "Таймаут поза припустимого діапазону", ""},
        {"LocalPort70000", set("Edit1", "70000"), "Edit1", MsgInputError, range1, range2},
        {"RemoteOctet300", set("ip2", "300"), "ip2", MsgInputError, range1, range2},
        {"PastedNotANumber", set("Edit2", "80'80"), "Edit2", MsgError, "'80'80' не є цілим числом",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        group = sampleGroup();
        op.asked.clear();
        open();
        c.input(*this);
        accept();
        ASSERT_EQ(op.asked.size(), 1);
        EXPECT_EQ(op.asked[0].kind, c.kind);
        EXPECT_EQ(op.asked[0].line1, c.line1);
        EXPECT_EQ(op.asked[0].line2, c.line2);
        EXPECT_TRUE(group == sampleGroup()) << "the opener's group is untouched";
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->focusWidget(), child<QWidget>(c.focus));
    }
}

TEST_F(PortParamTest, AcceptStoresTheWorkingCopy)
{
    open();
    chooseMode(3);
    edit("Edit1")->setText("65535");
    edit("Edit2")->setText("0");
    edit("ip4")->setText("255");
    combo("ComboBox2")->setCurrentIndex(0);
    combo("ComboBox3")->setCurrentIndex(3);
    combo("ComboBox4")->setCurrentIndex(4);
    combo("ComboBox5")->setCurrentIndex(1);
    edit("Edit3")->setText("255");
    accept();
    EXPECT_TRUE(op.asked.isEmpty());
    ASSERT_TRUE(dialog->isAccepted());
    PortConfig want;
    want.regim = 3;
    want.port = 65535;
    want.remote_port = 0;
    want.remote_ip_adr = {192, 168, 1, 255};
    want.rate = 300;
    want.port_sett = {3, 4, 8};
    want.timeout = 255;
    EXPECT_TRUE(group == want);
}

TEST_F(PortParamTest, CancelLeavesTheGroup)
{
    open();
    edit("Edit1")->setText("1");
    chooseMode(0);
    child<QPushButton>("BitBtn2")->click();
    EXPECT_FALSE(dialog->isAccepted());
    EXPECT_TRUE(group == sampleGroup());
}

} // namespace
