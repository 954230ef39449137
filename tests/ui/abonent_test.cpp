// The entry form of the abonent book: what it shows, what it refuses and what it stores.

#include "config/rd_wr_ini.h"
#include "connect/abonent.h"
#include "support/qt_printers.h"
#include "support/scripted_operator.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>

namespace
{

const QString kNotAll = QStringLiteral("Уведені не всі параметри");
const QString kRange = QStringLiteral("Поле IP-адреси поза припустимого діапазону");
const QString kNotNumber = QStringLiteral("Поле IP-адреси містить не число");
const QString kRangeHint = QStringLiteral("(0...255)");

// An entry with a name longer than any stored in the tests, so a shorter one must clear it.
Abonent sampleEntry()
{
    Abonent a;
    SetAbonentName(a, "Old abonent with a long name");
    a.ip_adr = {9, 8, 7, 6};
    a.port = 4242;
    return a;
}

class AbonentFormTest : public ::testing::Test
{
protected:
    void open(TFormAbonent::Mode mode)
    {
        form = std::make_unique<TFormAbonent>(entry, mode);
        form->show();
    }

    QLineEdit* field(const QString& name) const
    {
        auto* edit = form->findChild<QLineEdit*>(name);
        EXPECT_NE(edit, nullptr) << name.toStdString();
        return edit;
    }
    QLineEdit* ip(int i) const { return field(QStringLiteral("ip%1").arg(i)); }

    void fill(const QString& name, const QStringList& address)
    {
        field("Edit1")->setText(name);
        for (int i = 0; i < 4; ++i)
            ip(i + 1)->setText(address[i]);
    }

    QStringList fields() const
    {
        QStringList texts{field("Edit1")->text()};
        for (int i = 1; i <= 4; ++i)
            texts << ip(i)->text();
        return texts;
    }

    void press(const char* button) { form->findChild<QPushButton*>(button)->click(); }

    void type(QLineEdit* edit, const QString& keys)
    {
        for (QChar c : keys) {
            QKeyEvent e(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(edit, &e);
        }
    }

    ScriptedOperator op;
    Abonent entry = sampleEntry();
    std::unique_ptr<TFormAbonent> form;
};

TEST_F(AbonentFormTest, EditModeShowsTheEntry)
{
    open(TFormAbonent::Mode::Edit);
    EXPECT_EQ(form->windowTitle(), " Параметри абонента (Ethernet-інтерфейс)");
    EXPECT_EQ(form->size(), QSize(548, 162));
    EXPECT_EQ(fields(), QStringList({"Old abonent with a long name", "9", "8", "7", "6"}));
    EXPECT_EQ(field("Edit1")->maxLength(), 49);
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(ip(i)->maxLength(), 3) << i;
    EXPECT_FALSE(form->isAccepted());
}

TEST_F(AbonentFormTest, AddModeStartsEmptyWithTheNameFocused)
{
    open(TFormAbonent::Mode::Add);
    EXPECT_EQ(form->size(), QSize(548, 162));
    EXPECT_EQ(fields(), QStringList({"", "", "", "", ""}));
    EXPECT_EQ(form->focusWidget(), field("Edit1"));
}

TEST_F(AbonentFormTest, AddressFieldsTakeDigitsFromTheKeyboard)
{
    open(TFormAbonent::Mode::Add);
    for (int i = 1; i <= 4; ++i) {
        type(ip(i), "x1-2 .9");
        EXPECT_EQ(ip(i)->text(), "129") << i;
    }
    type(field("Edit1"), "a.b");
    EXPECT_EQ(field("Edit1")->text(), "a.b") << "the name takes any key";
}

struct RefusedCase {
    const char* name;
    QString abonent;
    QStringList address;
    QString line1;
    QString line2;
};

void PrintTo(const RefusedCase& c, std::ostream* os)
{
    *os << c.name;
}

class AbonentFormRefuses : public AbonentFormTest, public ::testing::WithParamInterface<RefusedCase>
{
};

TEST_P(AbonentFormRefuses, TheFirstBadFieldAndStoresNothing)
{
    const RefusedCase& c = GetParam();
    open(TFormAbonent::Mode::Edit);
    fill(c.abonent, c.address);
    const QStringList typed = fields();
    press("BitBtn4");

    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].kind, MsgInputError);
    EXPECT_EQ(op.asked[0].line1, c.line1);
    EXPECT_EQ(op.asked[0].line2, c.line2);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->isAccepted());
    EXPECT_EQ(fields(), typed) << "the fields stay as typed";
    EXPECT_EQ(entry, sampleEntry());
}

INSTANTIATE_TEST_SUITE_P(
    Fields, AbonentFormRefuses,
    ::testing::Values(
        RefusedCase{"EmptyName", "", {"1", "2", "3", "4"}, kNotAll, ""},
        RefusedCase{"EmptyNameBeforeAnyAddressField", "", {"256", "", "x", ""}, kNotAll, ""},
        RefusedCase{"EmptyFirstNumber", "a", {"", "2", "3", "4"}, kNotAll, ""},
        RefusedCase{"EmptyFourthNumber", "a", {"1", "2", "3", ""}, kNotAll, ""},
        RefusedCase{"Above255", "a", {"256", "2", "3", "4"}, kRange, kRangeHint},
        RefusedCase{"BelowZeroPasted", "a", {"1", "-1", "3", "4"}, kRange, kRangeHint},
        RefusedCase{"RangeBeforeALaterEmptyField", "a", {"1", "999", "", ""}, kRange, kRangeHint},
        RefusedCase{"EmptyBeforeALaterRange", "a", {"1", "", "999", "4"}, kNotAll, ""},
        RefusedCase{"PercentIsNotANumber", "a", {"1", "2", "3", "1%"}, kNotNumber, kRangeHint},
        RefusedCase{"ApostropheIsNotANumber", "a", {"'", "2", "3", "4"}, kNotNumber, kRangeHint},
        RefusedCase{"PastedLetters", "a", {"1", "2", "x7", "4"}, kNotNumber, kRangeHint},
        RefusedCase{"PastedBlank", "a", {"1", " 2", "3", "4"}, kNotNumber, kRangeHint},
        RefusedCase{"NameCharacterOutsideTheCodePage",
                    "Сніговик ☃",
                    {"1", "2", "3", "4"},
                    "Символ \"☃\" у найменуванні неприпустимий",
                    "(немає в кодуванні Windows-1251)"},
        RefusedCase{"NameCharacterOfTwoUnitsNamedWhole",
                    "a😀b",
                    {"", "", "", ""},
                    "Символ \"😀\" у найменуванні неприпустимий",
                    "(немає в кодуванні Windows-1251)"},
        // A pasted line end would put the rest of the name into the file as a key of its own.
        RefusedCase{"NameWithALineEnd",
                    "dev\ruser_index=7",
                    {"1", "2", "3", "4"},
                    "Символ з кодом 0x0D у найменуванні неприпустимий",
                    "(керуючі символи не допускаються)"},
        RefusedCase{"NameWithATab",
                    "a\tb",
                    {"1", "2", "3", "4"},
                    "Символ з кодом 0x09 у найменуванні неприпустимий",
                    "(керуючі символи не допускаються)"},
        RefusedCase{"ControlCharacterBeforeAForeignOne",
                    "a\x01☃",
                    {"1", "2", "3", "4"},
                    "Символ з кодом 0x01 у найменуванні неприпустимий",
                    "(керуючі символи не допускаються)"}),
    [](const auto& info) { return std::string(info.param.name); });

struct StoredCase {
    const char* name;
    QString abonent;
    QStringList address;
    QByteArray bytes; // the name field up to its first zero
    IpAddress ip;
};

void PrintTo(const StoredCase& c, std::ostream* os)
{
    *os << c.name;
}

class AbonentFormStores : public AbonentFormTest, public ::testing::WithParamInterface<StoredCase>
{
};

TEST_P(AbonentFormStores, NameAndAddressButNotThePort)
{
    const StoredCase& c = GetParam();
    open(TFormAbonent::Mode::Edit);
    fill(c.abonent, c.address);
    press("BitBtn4");

    EXPECT_TRUE(op.asked.isEmpty());
    EXPECT_TRUE(form->isAccepted());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(entry.ip_adr, c.ip);
    EXPECT_EQ(QByteArray(entry.user_name.data()), c.bytes);
    for (size_t i = size_t(c.bytes.size()); i < entry.user_name.size(); ++i)
        ASSERT_EQ(entry.user_name[i], 0) << "byte " << i << " of the old name is left";
    EXPECT_EQ(entry.port, 4242);
}

INSTANTIATE_TEST_SUITE_P(
    Values, AbonentFormStores,
    ::testing::Values(
        StoredCase{
            "PercentSignsExactly", "50% %1 %s", {"1", "2", "3", "4"}, "50% %1 %s", {1, 2, 3, 4}},
        StoredCase{"CyrillicAsWindows1251",
                   "Київ ґ",
                   {"10", "0", "0", "1"},
                   "\xCA\xE8\xBF\xE2 \xB4",
                   {10, 0, 0, 1}},
        StoredCase{"BoundsAndLeadingZeros", "x", {"0", "255", "007", "00"}, "x", {0, 255, 7, 0}},
        StoredCase{"LongestNameCutByTheField",
                   QString(60, QChar(u'Я')),
                   {"1", "1", "1", "1"},
                   QByteArray(49, '\xDF'),
                   {1, 1, 1, 1}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AbonentFormTest, StaysOpenUntilEveryFieldIsRight)
{
    open(TFormAbonent::Mode::Add);
    const struct {
        const char* field; // the one the message is about, filled before the next try
        QString value;
        QString line1;
    } steps[] = {
        {"Edit1", "Сервер", kNotAll}, {"ip1", "192", kNotAll}, {"ip2", "168", kNotAll},
        {"ip3", "300", kNotAll},      {"ip3", "1", kRange},    {"ip4", "20", kNotAll},
    };
    for (const auto& s : steps) {
        press("BitBtn4");
        ASSERT_FALSE(form->isAccepted()) << s.field;
        ASSERT_EQ(op.asked.size(), 1) << s.field;
        EXPECT_EQ(op.asked.takeFirst().line1, s.line1) << s.field;
        field(s.field)->setText(s.value);
    }
    press("BitBtn4");
    EXPECT_TRUE(form->isAccepted());
    EXPECT_TRUE(op.asked.isEmpty());
    EXPECT_EQ(AbonentName(entry), "Сервер");
    EXPECT_EQ(entry.ip_adr, IpAddress({192, 168, 1, 20}));
}

TEST_F(AbonentFormTest, CancelDiscardsWhatWasTyped)
{
    open(TFormAbonent::Mode::Edit);
    fill("New", {"1", "1", "1", "1"});
    press("BitBtn5");
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->isAccepted());
    EXPECT_TRUE(op.asked.isEmpty());
    EXPECT_EQ(entry, sampleEntry());
}

} // namespace
