#include "config/abonent_book.h"
#include "config/cp1251.h"
#include "support/qt_printers.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace
{

struct Entry {
    QString name;
    std::array<quint8, 4> ip;
};

AbonentBook makeBook(const std::vector<Entry>& entries, int current, int sort)
{
    AbonentBook book;
    for (size_t i = 0; i < entries.size(); ++i) {
        SetAbonentName(book.abonents[i], toCp1251(entries[i].name));
        book.abonents[i].ip_adr = entries[i].ip;
        book.abonents[i].port = int(i); // tells entries with equal names apart
    }
    book.users_num = quint8(entries.size());
    book.user_index = quint8(current);
    book.sort_prz = quint8(sort);
    return book;
}

QStringList names(const AbonentBook& book)
{
    QStringList out;
    for (int i = 0; i < book.users_num; ++i)
        out << AbonentName(book.abonents[size_t(i)]);
    return out;
}

} // namespace

TEST(AbonentBookSort, OrdersAndFindsTheCurrentEntryAgain)
{
    struct Case {
        const char* what;
        std::vector<Entry> entries;
        int current;
        int sort;
        QStringList order;
        int currentAfter;
    };
    const std::array<quint8, 4> ip{1, 1, 1, 1};
    const Case cases[] = {
        {"case is folded: lower-case a before upper-case B",
         {{"Beta", ip}, {"alpha", ip}},
         0,
         0,
         {"alpha", "Beta"},
         1},
        {"Cyrillic folds too; bytes compare unsigned, so Ї (0xAF) comes before Г (0xC3)",
         {{"яблуко", ip}, {"Груша", ip}, {"zeta", ip}, {"їжак", ip}},
         1,
         0,
         {"zeta", "їжак", "Груша", "яблуко"},
         2},
        {"a prefix sorts first", {{"abc", ip}, {"ab", ip}}, 0, 0, {"ab", "abc"}, 1},
        {"percent signs are plain characters", {{"b%d", ip}, {"a%s", ip}}, 0, 0, {"a%s", "b%d"}, 1},
        {"any other order value keeps the stored order",
         {{"b", ip}, {"a", ip}},
         0,
         7,
         {"b", "a"},
         0},
        {"by address the fourth number weighs most",
         {{"x1", {10, 0, 0, 1}}, {"x3", {10, 0, 0, 3}}, {"x2", {192, 168, 0, 2}}},
         2,
         1,
         {"x1", "x2", "x3"},
         1},
        {"by address, unsigned: 128 and above after 127",
         {{"hi", {0, 0, 0, 200}}, {"lo", {0, 0, 0, 127}}},
         0,
         1,
         {"lo", "hi"},
         1},
    };
    for (const Case& c : cases) {
        AbonentBook book = makeBook(c.entries, c.current, c.sort);
        SortAbonentBook(book);
        EXPECT_EQ(names(book), c.order) << c.what;
        EXPECT_EQ(book.user_index, c.currentAfter) << c.what;
    }
}

TEST(AbonentBookSort, DuplicateNamesStayAndTheLastBecomesCurrent)
{
    const std::array<quint8, 4> ip{1, 1, 1, 1};
    AbonentBook book = makeBook({{"same", ip}, {"other", ip}, {"same", ip}}, 0, 0);
    SortAbonentBook(book);
    EXPECT_EQ(names(book), (QStringList{"other", "same", "same"}));
    EXPECT_EQ(book.user_index, 2);
    // Entries with equal names keep their stored order.
    EXPECT_EQ(book.abonents[1].port, 0);
    EXPECT_EQ(book.abonents[2].port, 2);
}

TEST(AbonentBookSort, IndexOutsideTheBookIsLeftAlone)
{
    const std::array<quint8, 4> ip{1, 1, 1, 1};
    AbonentBook book = makeBook({{"b", ip}, {"a", ip}}, 250, 0);
    SortAbonentBook(book);
    EXPECT_EQ(names(book), (QStringList{"a", "b"}));
    EXPECT_EQ(book.user_index, 250);
}

TEST(AbonentBookDelete, MovesLaterEntriesUpAndZeroesTheFreedSlot)
{
    const std::array<quint8, 4> ip{1, 1, 1, 1};
    struct Case {
        int current;
        QStringList left;
        int currentAfter;
    };
    for (const Case& c : {Case{0, {"b", "c"}, 0}, Case{1, {"a", "c"}, 0}, Case{2, {"a", "b"}, 1}}) {
        AbonentBook book = makeBook({{"a", ip}, {"b", ip}, {"c", ip}}, c.current, 0);
        DeleteCurrentAbonent(book);
        EXPECT_EQ(names(book), c.left) << c.current;
        EXPECT_EQ(book.user_index, c.currentAfter) << c.current;
        EXPECT_EQ(book.abonents[2], Abonent{}) << c.current;
    }
    AbonentBook full = makeBook(std::vector<Entry>(200, Entry{"n", ip}), 199, 0);
    DeleteCurrentAbonent(full);
    EXPECT_EQ(full.users_num, 199);
    EXPECT_EQ(full.abonents[199], Abonent{});

    AbonentBook outside = makeBook({{"a", ip}}, 5, 0);
    DeleteCurrentAbonent(outside);
    EXPECT_EQ(outside.users_num, 1);
}

TEST(Cp1251Upper, FoldsLatinAndCyrillic)
{
    const QString lower = QStringLiteral("azабвяіїєґёў");
    const QString upper = QStringLiteral("AZАБВЯІЇЄҐЁЎ");
    const QByteArray l = toCp1251(lower);
    const QByteArray u = toCp1251(upper);
    for (int i = 0; i < l.size(); ++i)
        EXPECT_EQ(cp1251Upper(uchar(l[i])), uchar(u[i])) << lower.mid(i, 1).toStdString();
    for (uchar same : {uchar('1'), uchar('%'), uchar(0), uchar(0xB5)})
        EXPECT_EQ(cp1251Upper(same), same);
}

// A device's name becomes a name the book can hold, and one a read of the settings file
// gives back unchanged.
TEST(AbonentNameOfDevice, CleansWhatABookNameCannotHold)
{
    const IpAddress at = {127, 0, 0, 5};
    struct Case {
        const char* name;
        QString device;
        QString expected;
    };
    const Case cases[] = {
        {"Plain", QStringLiteral("Щит №1"), QStringLiteral("Щит №1")},
        {"ControlCharacters", QStringLiteral("A\tB\r\nC\x7F"), QStringLiteral("A B  C")},
        {"NotInWindows1251", QStringLiteral("Насос Ω😀"), QStringLiteral("Насос ??")},
        {"Empty", QString(), QStringLiteral("QEL_2 127.0.0.5")},
        {"OnlyBlanksAndControls", QStringLiteral(" \x01 "), QStringLiteral("QEL_2 127.0.0.5")},
        {"CutTo49Bytes", QString(60, QChar(0x0416)), QString(49, QChar(0x0416))},
        {"NoBlankLeftAtTheCut", QString(48, QLatin1Char('a')) + QStringLiteral(" b"),
         QString(48, QLatin1Char('a'))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = AbonentNameOfDevice(c.device, at);
        EXPECT_EQ(fromCp1251(bytes), c.expected);
        EXPECT_FALSE(RefuseAsName(fromCp1251(bytes)));
        EXPECT_EQ(NameFromFile(bytes, kAbonentNameSize - 1), bytes);
    }
}

TEST(AbonentBookAdd, AddsOnceAndKeepsTheLimit)
{
    AbonentBook book = makeBook({{"Котельня", {127, 0, 0, 2}}}, 0, 0);
    EXPECT_EQ(AddAbonent(book, toCp1251(QStringLiteral("Щит")), {127, 0, 0, 3}),
              AddAbonentResult::Added);
    EXPECT_EQ(names(book), QStringList({"Котельня", "Щит"}));
    EXPECT_EQ(book.user_index, 1) << "the new entry is the current one";
    EXPECT_EQ(book.abonents[1].port, kDefaultAbonentPort);
    EXPECT_EQ(FindAbonentByAddress(book, {127, 0, 0, 3}), 1);

    const AbonentBook before = book;
    EXPECT_EQ(AddAbonent(book, "Other", {127, 0, 0, 2}), AddAbonentResult::AlreadyInBook);
    EXPECT_EQ(book, before);

    book.users_num = kMaxAbonents;
    const AbonentBook full = book;
    EXPECT_EQ(AddAbonent(book, "One more", {127, 0, 1, 1}), AddAbonentResult::BookFull);
    EXPECT_EQ(book, full);
}
