// The Ethernet parameters dialog: what it shows of a record, how the mode list enables the
// octet fields, what accept refuses and what it stores.

#include "config/rd_wr_ini.h"
#include "editors/conneth.h"
#include "support/qt_printers.h"
#include "support/scripted_operator.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace
{

const QString kNotAll = QStringLiteral("Уведені не всі параметри");

// A record with every address set, manual assignment and a name.
DeviceConfig sampleRecord()
{
    DeviceConfig r;
    MakeEmptyConfig(r);
    r.net.ip_prz = 0;
    r.net.ip_adr = {192, 168, 1, 20};
    r.net.net_mask = {255, 255, 255, 0};
    r.net.gateway = {192, 168, 1, 1};
    SetBoxName(r, QStringLiteral("Котельня"));
    return r;
}

class ConEthTest : public ::testing::Test
{
public: // the case tables act through the fixture
    void SetUp() override { ConnSet() = ConnSettingsState(); }
    void TearDown() override { ConnSet() = ConnSettingsState(); }

    void open(EditMode mode)
    {
        dialog = std::make_unique<TFormConEth>(record, mode);
        dialog->show();
    }
    template <class T> T* child(const QString& name) const
    {
        T* w = dialog->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QLineEdit* edit(const QString& name) const { return child<QLineEdit>(name); }
    void chooseMode(int index)
    {
        auto* modes = child<QComboBox>("ComboBox1");
        modes->setCurrentIndex(index);
        emit modes->activated(index);
    }
    // The twelve octet fields, row by row (ip, im, is), each left to right.
    QStringList octets() const
    {
        QStringList out;
        for (const char* row : {"ip", "im", "is"}) {
            for (int k = 1; k <= 4; ++k)
                out << edit(QStringLiteral("%1%2").arg(row).arg(k))->text();
        }
        return out;
    }
    bool octetsEnabled() const
    {
        bool all = true;
        for (const char* row : {"ip", "im", "is"}) {
            for (int k = 1; k <= 4; ++k)
                all &= edit(QStringLiteral("%1%2").arg(row).arg(k))->isEnabled();
        }
        return all;
    }
    void accept(EditMode mode)
    {
        child<QPushButton>(mode == EditMode::AcceptInto ? "BitBtn1" : "BitBtn3")->click();
    }

    DeviceConfig record = sampleRecord();
    ScriptedOperator op;
    std::unique_ptr<TFormConEth> dialog;
};

TEST_F(ConEthTest, ShowsTheRecordAndTheAcceptButtonOfTheMode)
{
    open(EditMode::AcceptInto);
    EXPECT_EQ(dialog->windowTitle(), " Параметри зв'язку Ethernet");
    EXPECT_EQ(dialog->size(), QSize(422, 294));
    EXPECT_EQ(octets(), QStringList({"192", "168", "1", "20", "255", "255", "255", "0", "192",
                                     "168", "1", "1"}));
    EXPECT_EQ(child<QComboBox>("ComboBox1")->currentText(), "Вручну");
    EXPECT_EQ(child<QLabel>("Label14")->text(), "Режим");
    EXPECT_TRUE(octetsEnabled());
    EXPECT_EQ(edit("Edit1")->text(), "Котельня");
    EXPECT_EQ(edit("Edit1")->maxLength(), 20);
    EXPECT_TRUE(child<QPushButton>("BitBtn1")->isVisible());
    EXPECT_FALSE(child<QPushButton>("BitBtn3")->isVisible());
    EXPECT_EQ(child<QPushButton>("BitBtn1")->geometry(), child<QPushButton>("BitBtn3")->geometry());

    dialog.reset();
    open(EditMode::WriteDevice);
    EXPECT_FALSE(child<QPushButton>("BitBtn1")->isVisible());
    EXPECT_TRUE(child<QPushButton>("BitBtn3")->isVisible());
}

// No address assignment chosen (as a read over the serial link leaves it): the prompt keeps
// its marked look, and accept asks for the mode.
TEST_F(ConEthTest, NoModeChosenIsAskedFor)
{
    record.net.ip_prz = 255;
    open(EditMode::AcceptInto);
    auto* prompt = child<QLabel>("Label14");
    EXPECT_EQ(child<QComboBox>("ComboBox1")->currentIndex(), -1);
    EXPECT_EQ(prompt->text(), "Виберіть режим");
    EXPECT_TRUE(prompt->font().bold());
    EXPECT_EQ(prompt->palette().color(QPalette::WindowText), QColor(128, 0, 0));
    EXPECT_TRUE(octetsEnabled());

    accept(EditMode::AcceptInto);
    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].kind, MsgInputError);
    EXPECT_EQ(op.asked[0].line1, "Не задано режим зміни параметрів IP");
    EXPECT_FALSE(dialog->isAccepted());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(record.net.ip_prz, 255);

    chooseMode(0);
    EXPECT_EQ(prompt->text(), "Режим");
    EXPECT_FALSE(prompt->font().bold());
}

// The mode is written into the record at once; automatic greys the octets and keeps them.
TEST_F(ConEthTest, TheModeIsStoredAtOnceAndGreysTheOctets)
{
    open(EditMode::AcceptInto);
    chooseMode(1);
    EXPECT_EQ(record.net.ip_prz, 1);
    EXPECT_FALSE(octetsEnabled());
    EXPECT_EQ(octets()[0], "192") << "the texts stay";
    chooseMode(0);
    EXPECT_TRUE(octetsEnabled());
    chooseMode(1);
    child<QPushButton>("BitBtn2")->click(); // "Відмінити"
    EXPECT_FALSE(dialog->isAccepted());
    EXPECT_EQ(record.net.ip_prz, 1) << "the mode chosen is not undone";
    EXPECT_EQ(record.net.ip_adr, IpAddress({192, 168, 1, 20}));
}

// Accept in manual mode, field by field: each refusal leaves the record's addresses and name
// as they were and the dialog open; the first bad field is named and focused.
TEST_F(ConEthTest, AcceptRefusesWhatTheRecordCannotHold)
{
    struct Case {
        const char* name;
        const char* field;
        QString text;
        int kind;
        QString line1, line2;
    };
    const Case cases[] = {
        {"EmptyAddressOctet", "ip3", "", MsgInputError, kNotAll, ""},
        {"EmptyGatewayOctet", "is4", "", MsgInputError, kNotAll, ""},
        {"OctetAbove255", "im2", "300", MsgInputError, "Введіть значення ",
         "відповідно до заданого діапазону"},
        {"PastedNotANumber", "ip1", "1%", MsgError, "'1%' не є цілим числом", ""},
        {"ControlCharacterInTheName", "Edit1", "a\rb", MsgInputError,
         "Символ з кодом 0x0D у найменуванні неприпустимий", "(керуючі символи не допускаються)"},
        {"NameOutsideTheCodePage", "Edit1", "☃", MsgInputError,
         "Символ \"☃\" у найменуванні неприпустимий", "(немає в кодуванні Windows-1251)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        record = sampleRecord();
        op.asked.clear();
        open(EditMode::AcceptInto);
        edit(c.field)->setText(c.text);
        accept(EditMode::AcceptInto);
        ASSERT_EQ(op.asked.size(), 1);
        EXPECT_EQ(op.asked[0].kind, c.kind);
        EXPECT_EQ(op.asked[0].line1, c.line1);
        EXPECT_EQ(op.asked[0].line2, c.line2);
        EXPECT_TRUE(record == sampleRecord()) << "nothing stored";
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_FALSE(dialog->isAccepted());
        EXPECT_EQ(dialog->focusWidget(), edit(c.field));
    }
}

TEST_F(ConEthTest, AcceptStoresTheOctetsAndTheName)
{
    struct Case {
        const char* name;
        EditMode mode;
        quint8 connPrz;
        int chosenMode;
        std::function<void(ConEthTest&)> input;
        std::function<void(DeviceConfig&)> expect; // applied to the sample record
    };
    const Case cases[] = {
        {"ManualAddresses", EditMode::AcceptInto, 0, 0,
         [](ConEthTest& t) {
             t.edit("ip4")->setText("200");
             t.edit("im4")->setText("128");
             t.edit("is1")->setText("10");
         },
         [](DeviceConfig& r) {
             r.net.ip_adr[3] = 200;
             r.net.net_mask[3] = 128;
             r.net.gateway[0] = 10;
         }},
        // Automatic: the octets are not looked at, even when they are incomplete.
        {"AutomaticKeepsTheAddresses", EditMode::AcceptInto, 0, 1,
         [](ConEthTest& t) { t.edit("ip2")->clear(); }, [](DeviceConfig& r) { r.net.ip_prz = 1; }},
        {"EmptyNameIsAllZero", EditMode::AcceptInto, 0, 0,
         [](ConEthTest& t) { t.edit("Edit1")->clear(); },
         [](DeviceConfig& r) { SetBoxNameBytes(r, QByteArray()); }},
        {"NewName", EditMode::AcceptInto, 0, 0,
         [](ConEthTest& t) { t.edit("Edit1")->setText("Насосна 2"); },
         [](DeviceConfig& r) { SetBoxName(r, QStringLiteral("Насосна 2")); }},
        // Writing to a device over a COM link: there is no name to write, and the record's
        // name is left alone.
        {"DeviceOverComKeepsTheName", EditMode::WriteDevice, 0, 0, [](ConEthTest&) {},
         [](DeviceConfig&) {}},
        {"DeviceOverEthernetTakesTheName", EditMode::WriteDevice, 1, 0,
         [](ConEthTest& t) { t.edit("Edit1")->setText("QEL"); },
         [](DeviceConfig& r) { SetBoxName(r, QStringLiteral("QEL")); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        record = sampleRecord();
        ConnSet().cur.Conn_Prz = c.connPrz;
        open(c.mode);
        chooseMode(c.chosenMode);
        c.input(*this);
        accept(c.mode);
        EXPECT_TRUE(op.asked.isEmpty());
        EXPECT_TRUE(dialog->isAccepted());
        EXPECT_FALSE(dialog->isVisible());
        DeviceConfig want = sampleRecord();
        c.expect(want);
        EXPECT_TRUE(record == want);
    }
}

// Writing to a device over a COM link: the name field is empty, disabled and greyed.
TEST_F(ConEthTest, TheNameIsOfferedOnlyWhereTheLinkCarriesIt)
{
    for (quint8 connPrz : {0, 1}) {
        SCOPED_TRACE(int(connPrz));
        ConnSet().cur.Conn_Prz = connPrz;
        open(EditMode::WriteDevice);
        QLineEdit* name = edit("Edit1");
        EXPECT_EQ(name->isEnabled(), connPrz == 1);
        EXPECT_EQ(name->text(), connPrz == 1 ? "Котельня" : "");
        if (connPrz == 0) {
            EXPECT_EQ(name->palette().color(QPalette::Base),
                      name->parentWidget()->palette().color(QPalette::Window))
                << "in the panel's colour";
        }
    }
}

} // namespace
