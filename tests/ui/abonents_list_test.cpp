// The abonent list: the grid and its buttons, the working copy of the book, and the
// entry form opened from it.

#include "config/cp1251.h"
#include "config/rd_wr_ini.h"
#include "connect/abonents_list.h"
#include "support/qt_printers.h"
#include "support/scripted_operator.h"
#include "support/ui/modal_answer.h"
#include "widgets/appoperator.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTableWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <vector>

namespace
{

struct Entry {
    QString name;
    IpAddress ip;
};

class AbonentsListTest : public ::testing::Test
{
protected:
    void TearDown() override { ConnSet() = ConnSettingsState(); }

    // Fills the book in ConnSet() with entries in the order given; entry i gets port 1000 + i.
    static void setBook(const std::vector<Entry>& entries, quint8 sortPrz, quint8 userIndex)
    {
        AbonentBook& book = ConnSet().cur.book;
        book = AbonentBook();
        book.users_num = quint8(entries.size());
        book.sort_prz = sortPrz;
        book.user_index = userIndex;
        for (size_t i = 0; i < entries.size(); ++i) {
            SetAbonentName(book.abonents[i], toCp1251(entries[i].name));
            book.abonents[i].ip_adr = entries[i].ip;
            book.abonents[i].port = qint32(1000 + i);
        }
    }

    void open()
    {
        list.show();
        QApplication::processEvents();
        grid = list.findChild<QTableWidget*>("StringGrid1");
        ASSERT_NE(grid, nullptr);
    }

    QAbstractButton* button(const char* name)
    {
        auto* b = list.findChild<QAbstractButton*>(name);
        EXPECT_NE(b, nullptr) << name;
        return b;
    }

    // The enabled state of the five buttons "Змінити" .. "Відмінити" as a string of 0 and 1.
    QString enabledButtons()
    {
        QString s;
        for (const char* name : {"BitBtn1", "BitBtn2", "BitBtn3", "BitBtn4", "BitBtn5"})
            s += button(name)->isEnabled() ? u'1' : u'0';
        return s;
    }

    QString text(int row, int column) const
    {
        const QTableWidgetItem* item = grid->item(row, column);
        return item ? item->text() : QString();
    }

    QStringList column(int c) const
    {
        QStringList texts;
        for (int r = 0; r < grid->rowCount(); ++r)
            texts << text(r, c);
        return texts;
    }

    int selectedRow() const
    {
        const QModelIndexList rows = grid->selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.first().row() : -1;
    }

    // A mouse click on a row of the grid, as the operator makes it; double opens the editor.
    void clickRow(int row, bool twice = false)
    {
        grid->scrollToItem(grid->item(row, 1));
        QWidget* viewport = grid->viewport();
        const QPoint at = grid->visualItemRect(grid->item(row, 1)).center();
        auto send = [&](QEvent::Type type) {
            QMouseEvent e(type, at, viewport->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
            QApplication::sendEvent(viewport, &e);
        };
        send(QEvent::MouseButtonPress);
        send(QEvent::MouseButtonRelease);
        if (twice) {
            send(QEvent::MouseButtonDblClick);
            send(QEvent::MouseButtonRelease);
        }
    }

    // Fills the entry form when it appears; the answer then clicks the button it was made for.
    static void fillForm(ModalAnswer& answer, const QString& name, const QStringList& ip)
    {
        answer.inspect = [name, ip](QWidget* form) {
            form->findChild<QLineEdit*>("Edit1")->setText(name);
            for (int i = 0; i < 4; ++i)
                form->findChild<QLineEdit*>(QStringLiteral("ip%1").arg(i + 1))->setText(ip[i]);
        };
    }

    ScriptedOperator op;
    TFormAbonents_List list;
    QTableWidget* grid = nullptr;
};

TEST_F(AbonentsListTest, DesignSizesHeadersAndRowTexts)
{
    setBook({{"з 50% %1 %s", {10, 20, 30, 40}}, {"name", {1, 2, 3, 4}}}, 0, 1);
    open();
    EXPECT_EQ(list.windowTitle(), " Список абонентів (Ethernet-інтерфейс)");
    EXPECT_EQ(list.size(), QSize(622, 560));

    const QHeaderView* header = grid->horizontalHeader();
    ASSERT_EQ(grid->columnCount(), 3);
    const char* headers[] = {"№", "Найменування", "IP-адреса"};
    const int widths[] = {36, 393, 157};
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(grid->horizontalHeaderItem(c)->text(), headers[c]);
        EXPECT_EQ(grid->columnWidth(c), widths[c]) << c;
    }
    EXPECT_FALSE(grid->verticalHeader()->isVisible()) << "no fixed column";
    EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(grid->item(0, 1)->flags() & Qt::ItemIsEditable);

    // Each sort button lies on the header panel of its column.
    const std::pair<const char*, int> sortButtons[] = {{"SpeedButton1", 1}, {"SpeedButton2", 2}};
    for (const auto& [name, c] : sortButtons) {
        const QWidget* b = button(name);
        const QRect on(b->mapTo(header, QPoint(0, 0)), b->size());
        EXPECT_TRUE(b->isVisible()) << name;
        EXPECT_GE(on.left(), header->sectionPosition(c)) << name;
        EXPECT_LE(on.right(), header->sectionPosition(c) + header->sectionSize(c)) << name;
        EXPECT_LE(on.bottom(), header->height()) << name;
    }

    ASSERT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(column(0), QStringList({"  1", "  2"}));
    EXPECT_EQ(column(1), QStringList({" name", " з 50% %1 %s"})) << "names shown exactly";
    EXPECT_EQ(column(2), QStringList({"1.2.3.4", "10.20.30.40"}));
    EXPECT_EQ(selectedRow(), 0) << "the current entry moved with the sort";
    EXPECT_EQ(enabledButtons(), "11111");
}

TEST_F(AbonentsListTest, EmptyBookShowsOneEmptyRowAndOnlyAdding)
{
    setBook({}, 0, 0);
    open();
    ASSERT_EQ(grid->rowCount(), 1);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(text(0, c), "") << c;
    EXPECT_EQ(enabledButtons(), "01011");

    clickRow(0, true); // neither selects an entry nor opens the editor
    EXPECT_EQ(list.workingBook().users_num, 0);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

struct SortCase {
    const char* name;
    std::vector<Entry> book; // stored order
    quint8 sortPrz;          // when the dialog opens
    quint8 userIndex;
    const char* sortButton; // clicked after opening, or nullptr
    QStringList names;      // column "Найменування" afterwards
    QStringList addresses;
    int current;           // selected row and user_index
    bool byNameEnabled;    // SpeedButton1
    bool byAddressEnabled; // SpeedButton2
};

void PrintTo(const SortCase& c, std::ostream* os)
{
    *os << c.name;
}

class AbonentsListSort : public AbonentsListTest, public ::testing::WithParamInterface<SortCase>
{
};

TEST_P(AbonentsListSort, ShowsTheBookInTheChosenOrder)
{
    const SortCase& c = GetParam();
    setBook(c.book, c.sortPrz, c.userIndex);
    open();
    if (c.sortButton)
        button(c.sortButton)->click();

    EXPECT_EQ(column(1), c.names);
    EXPECT_EQ(column(2), c.addresses);
    EXPECT_EQ(selectedRow(), c.current);
    EXPECT_EQ(list.workingBook().user_index, c.current);
    EXPECT_EQ(button("SpeedButton1")->isEnabled(), c.byNameEnabled);
    EXPECT_EQ(button("SpeedButton2")->isEnabled(), c.byAddressEnabled);
    EXPECT_EQ(ConnSet().cur.book.abonents[0].ip_adr, c.book[0].ip)
        << "the book itself waits for \"Прийняти\"";
}

INSTANTIATE_TEST_SUITE_P(
    Orders, AbonentsListSort,
    ::testing::Values(
        SortCase{"ByNameIgnoresLatinCase",
                 {{"Bravo", {1, 0, 0, 1}}, {"alpha", {1, 0, 0, 2}}},
                 1,
                 0,
                 "SpeedButton1",
                 {" alpha", " Bravo"},
                 {"1.0.0.2", "1.0.0.1"},
                 1,
                 false,
                 true},
        SortCase{"ByNameIgnoresCyrillicCase",
                 {{"Борис", {1, 0, 0, 1}}, {"анна", {1, 0, 0, 2}}, {"Віра", {1, 0, 0, 3}}},
                 2,
                 2,
                 "SpeedButton1",
                 {" анна", " Борис", " Віра"},
                 {"1.0.0.2", "1.0.0.1", "1.0.0.3"},
                 2,
                 false,
                 true},
        SortCase{"DuplicatesKeptLaterOneBecomesCurrent",
                 {{"Beta", {1, 0, 0, 1}}, {"Alpha", {1, 0, 0, 2}}, {"Beta", {1, 0, 0, 3}}},
                 0,
                 0,
                 nullptr,
                 {" Alpha", " Beta", " Beta"},
                 {"1.0.0.2", "1.0.0.1", "1.0.0.3"},
                 2,
                 false,
                 true},
        SortCase{"ByAddressFirstNumberLeastSignificant",
                 {{"c", {10, 0, 0, 3}}, {"a", {10, 0, 0, 1}}, {"b", {192, 168, 0, 2}}},
                 0,
                 1,
                 "SpeedButton2",
                 {" a", " b", " c"},
                 {"10.0.0.1", "192.168.0.2", "10.0.0.3"},
                 0,
                 true,
                 false},
        SortCase{"OtherValueKeepsStoredOrderAndOffersBoth",
                 {{"b", {2, 0, 0, 0}}, {"a", {1, 0, 0, 0}}},
                 7,
                 1,
                 nullptr,
                 {" b", " a"},
                 {"2.0.0.0", "1.0.0.0"},
                 1,
                 true,
                 true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AbonentsListTest, ClickChoosesTheCurrentEntryAndDoubleClickEditsIt)
{
    setBook({{"Alpha", {1, 1, 1, 1}}, {"Beta", {2, 2, 2, 2}}, {"Gamma", {3, 3, 3, 3}}}, 0, 0);
    open();
    clickRow(1);
    EXPECT_EQ(list.workingBook().user_index, 1);

    ModalAnswer answer("BitBtn4");
    QString shown;
    answer.inspect = [&](QWidget* form) {
        shown = form->findChild<QLineEdit*>("Edit1")->text();
        form->findChild<QLineEdit*>("Edit1")->setText("Zulu");
    };
    clickRow(0, true);
    ASSERT_TRUE(answer.answered());
    EXPECT_EQ(shown, "Alpha") << "the double-clicked row is edited";
    EXPECT_EQ(column(1), QStringList({" Beta", " Gamma", " Zulu"}));
    EXPECT_EQ(selectedRow(), 2) << "the edited entry stays current after the sort";
    EXPECT_EQ(list.workingBook().abonents[2].port, 1000) << "the port is not the form's";
}

struct AddCase {
    const char* name;
    QString added;
    int current;
};

void PrintTo(const AddCase& c, std::ostream* os)
{
    *os << c.name;
}

class AbonentsListAdd : public AbonentsListTest, public ::testing::WithParamInterface<AddCase>
{
};

TEST_P(AbonentsListAdd, NewEntryIsFoundAgainAfterTheSort)
{
    setBook({{"Alpha", {1, 1, 1, 1}}, {"Gamma", {3, 3, 3, 3}}}, 0, 0);
    ConnSet().cur.book.abonents[2].port = 777; // whatever the free slot holds
    open();
    ModalAnswer answer("BitBtn4");
    fillForm(answer, GetParam().added, {"9", "9", "9", "9"});
    button("BitBtn2")->click();
    ASSERT_TRUE(answer.answered());

    const AbonentBook& book = list.workingBook();
    ASSERT_EQ(book.users_num, 3);
    EXPECT_EQ(book.user_index, GetParam().current);
    EXPECT_EQ(selectedRow(), GetParam().current);
    EXPECT_EQ(text(GetParam().current, 2), "9.9.9.9");
    EXPECT_EQ(book.abonents[book.user_index].port, 777);
    EXPECT_EQ(column(0), QStringList({"  1", "  2", "  3"}));
}

INSTANTIATE_TEST_SUITE_P(Names, AbonentsListAdd,
                         ::testing::Values(AddCase{"BetweenTheOthers", "Beta", 1},
                                           AddCase{"SameNameAsAnother", "Alpha", 1},
                                           AddCase{"AfterTheOthers", "Омега", 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AbonentsListTest, CancelledFormsChangeNothing)
{
    setBook({{"Alpha", {1, 1, 1, 1}}}, 0, 0);
    open();
    const AbonentBook before = list.workingBook();
    for (const char* opener : {"BitBtn1", "BitBtn2"}) {
        ModalAnswer answer("BitBtn5");
        fillForm(answer, "Changed", {"5", "5", "5", "5"});
        button(opener)->click();
        ASSERT_TRUE(answer.answered()) << opener;
        EXPECT_EQ(list.workingBook(), before) << opener;
        EXPECT_EQ(grid->rowCount(), 1) << opener;
    }
}

TEST_F(AbonentsListTest, FullBookRefusesAddingUntilAnEntryIsDeleted)
{
    std::vector<Entry> entries;
    for (int i = 0; i < kMaxAbonents; ++i)
        entries.push_back({QStringLiteral("Абонент %1").arg(i, 3, 10, QChar(u'0')),
                           {10, 0, quint8(i / 256), quint8(i % 256)}});
    setBook(entries, 0, 0);
    open();
    EXPECT_EQ(grid->rowCount(), 200);
    EXPECT_EQ(text(199, 0), "  200");
    EXPECT_EQ(enabledButtons(), "10111");

    clickRow(150);
    op.answer({true});
    button("BitBtn3")->click();
    EXPECT_EQ(list.workingBook().users_num, 199);
    EXPECT_EQ(grid->rowCount(), 199);
    EXPECT_EQ(text(150, 1), " Абонент 151");
    EXPECT_EQ(selectedRow(), 149);
    EXPECT_EQ(enabledButtons(), "11111");
}

struct DeleteCase {
    const char* name;
    quint8 current;
    QStringList names; // left afterwards
    int currentAfter;
};

void PrintTo(const DeleteCase& c, std::ostream* os)
{
    *os << c.name;
}

class AbonentsListDelete : public AbonentsListTest, public ::testing::WithParamInterface<DeleteCase>
{
};

TEST_P(AbonentsListDelete, AsksThenRemovesTheCurrentEntryUnderTheWaitCursor)
{
    const DeleteCase& c = GetParam();
    setBook({{"a", {1, 0, 0, 0}}, {"b", {2, 0, 0, 0}}, {"c", {3, 0, 0, 0}}}, 0, c.current);
    open();
    op.answer({true});
    button("BitBtn3")->click();

    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].kind, MsgQuestion);
    EXPECT_EQ(op.asked[0].line1, "Ви дійсно хочете");
    EXPECT_EQ(op.asked[0].line2, "видалити цей абонент?");
    EXPECT_EQ(op.busyOnCount, 1);
    EXPECT_EQ(op.busyDepth, 0);
    EXPECT_EQ(column(1), c.names);
    EXPECT_EQ(list.workingBook().user_index, c.currentAfter);
    EXPECT_EQ(selectedRow(), c.currentAfter);
}

INSTANTIATE_TEST_SUITE_P(Positions, AbonentsListDelete,
                         ::testing::Values(DeleteCase{"FirstKeepsIndexZero", 0, {" b", " c"}, 0},
                                           DeleteCase{"LastMovesToNewLast", 2, {" a", " b"}, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AbonentsListTest, NoToTheQuestionDeletesNothing)
{
    AppOperator real;
    Operator* scripted = InstallOperator(&real);
    setBook({{"a", {1, 0, 0, 0}}, {"b", {2, 0, 0, 0}}}, 0, 1);
    open();
    ModalAnswer answer("BitBtn2");
    button("BitBtn3")->click();
    InstallOperator(scripted);

    ASSERT_TRUE(answer.answered());
    EXPECT_EQ(answer.seen().labels.value("Label1"), "Ви дійсно хочете");
    EXPECT_EQ(answer.seen().labels.value("Label2"), "видалити цей абонент?");
    EXPECT_EQ(list.workingBook().users_num, 2);
    EXPECT_EQ(column(1), QStringList({" a", " b"}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "no wait cursor without deleting";
}

TEST_F(AbonentsListTest, IndexOutsideTheBookSelectsNothingAndActsOnNothing)
{
    setBook({{"a", {1, 0, 0, 0}}, {"b", {2, 0, 0, 0}}}, 0, 5);
    open();
    EXPECT_EQ(selectedRow(), -1);

    bool formOpened = false;
    QTimer::singleShot(0, [&] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            formOpened = true;
            w->close();
        }
    });
    button("BitBtn1")->click();
    button("BitBtn3")->click();
    QApplication::processEvents();
    EXPECT_FALSE(formOpened);
    EXPECT_TRUE(op.asked.isEmpty());
    EXPECT_EQ(list.workingBook().users_num, 2);
}

TEST_F(AbonentsListTest, AcceptStoresTheWorkingCopyCancelLeavesTheBook)
{
    setBook({{"b", {2, 0, 0, 0}}, {"a", {1, 0, 0, 0}}, {"c", {3, 0, 0, 0}}}, 1, 0);
    const AbonentBook original = ConnSet().cur.book;

    // Ordered by name and the current entry deleted, then either answer.
    for (const bool accept : {false, true}) {
        ConnSet().cur.book = original;
        ModalAnswer answer(accept ? "BitBtn4" : "BitBtn5");
        answer.inspect = [&](QWidget* dialog) {
            dialog->findChild<QAbstractButton*>("SpeedButton1")->click();
            op.answer({true});
            dialog->findChild<QAbstractButton*>("BitBtn3")->click(); // "b", the current one
        };
        const bool accepted = ExecAbonentsList(nullptr);
        ASSERT_TRUE(answer.answered());
        EXPECT_EQ(accepted, accept);
        if (!accept) {
            EXPECT_EQ(ConnSet().cur.book, original);
            continue;
        }
        const AbonentBook& book = ConnSet().cur.book;
        EXPECT_EQ(book.users_num, 2);
        EXPECT_EQ(book.sort_prz, 0);
        EXPECT_EQ(book.user_index, 0);
        EXPECT_EQ(AbonentName(book.abonents[0]), "a");
        EXPECT_EQ(book.abonents[0].port, 1001) << "ports travel with their entries";
        EXPECT_EQ(AbonentName(book.abonents[1]), "c");
        EXPECT_EQ(book.abonents[1].port, 1002);
        EXPECT_EQ(book.abonents[2], Abonent()) << "the freed slot is cleared";
    }
}

} // namespace
