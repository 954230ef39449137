// "Пошук пристроїв" from the abonent list, against simulated devices on loopback addresses:
// what the list of found devices shows and marks, adding the ticked ones to the working book
// (once each, names cleaned, within the 200), stopping a search, and a search that finds
// nothing.

#include "config/abonent_book.h"
#include "config/cp1251.h"
#include "config/rd_wr_ini.h"
#include "connect/abonents_list.h"
#include "connect/search.h"
#include "support/qt_printers.h"
#include "support/scripted_operator.h"
#include "support/sim_fleet.h"
#include "support/ui/modal_answer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <functional>

namespace
{

class SearchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sims.ok());
        ConnSet() = ConnSettingsState();
    }
    void TearDown() override { ConnSet() = ConnSettingsState(); }

    void addDevices(int count)
    {
        QString error;
        ASSERT_TRUE(sims.add(count, &error)) << error.toStdString();
    }
    static void addToBook(const QString& name, const IpAddress& ip)
    {
        ASSERT_NE(AddAbonent(ConnSet().cur.book, toCp1251(name), ip), AddAbonentResult::BookFull);
    }

    // Opens the abonent list, presses "Пошук пристроїв" and runs act on the search form once
    // its search has ended; then the form is closed. Returns the list's working book.
    AbonentBook searchFromTheList(const SearchOptions& options,
                                  const std::function<void(TFormSearch&)>& act)
    {
        TFormAbonents_List list;
        list.setSearchOptions(options);
        list.show();
        ModalAnswer close("BtnClose");
        close.inspect = [&](QWidget* w) {
            auto* form = qobject_cast<TFormSearch*>(w);
            EXPECT_NE(form, nullptr);
            if (!form)
                return;
            waitForTheEnd(*form);
            act(*form);
        };
        list.findChild<QAbstractButton*>("BtnSearch")->click();
        EXPECT_TRUE(close.answered());
        return list.workingBook();
    }
    static void waitForTheEnd(TFormSearch& form)
    {
        QElapsedTimer clock;
        clock.start();
        while (form.search().running() && clock.elapsed() < 30000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_FALSE(form.search().running());
    }

    // The rows of the list: tick (x ticked, . not, - cannot be ticked), name, address,
    // version, note.
    static QStringList rows(const TFormSearch& form)
    {
        const auto* table = form.findChild<QTableWidget*>("DeviceTable");
        QStringList out;
        for (int r = 0; r < table->rowCount(); ++r) {
            const QTableWidgetItem* tick = table->item(r, 0);
            const QString mark = !(tick->flags() & Qt::ItemIsUserCheckable) ? "-"
                                 : tick->checkState() == Qt::Checked        ? "x"
                                                                            : ".";
            out << QStringLiteral("%1 %2 %3 v%4 [%5]")
                       .arg(mark, table->item(r, 1)->text(), table->item(r, 2)->text(),
                            table->item(r, 3)->text(), table->item(r, 6)->text());
        }
        out.sort();
        return out;
    }
    static void tick(TFormSearch& form, const QString& address)
    {
        auto* table = form.findChild<QTableWidget*>("DeviceTable");
        for (int r = 0; r < table->rowCount(); ++r) {
            if (table->item(r, 2)->text() == address)
                table->item(r, 0)->setCheckState(Qt::Checked);
        }
    }
    static void add(TFormSearch& form) { form.findChild<QAbstractButton*>("BtnAdd")->click(); }

    static QStringList entries(const AbonentBook& book)
    {
        QStringList out;
        for (int i = 0; i < book.users_num; ++i)
            out << AbonentName(book.abonents[size_t(i)]) + " " +
                       AddressText(book.abonents[size_t(i)].ip_adr);
        return out;
    }

    SimFleet sims;
    ScriptedOperator op;
};

// Three devices: one already in the book (marked, cannot be ticked), one of another version
// (marked, not ticked until the operator ticks it), one new (ticked). "Додати до списку"
// adds the ticked ones under their device names; the list shows them.
TEST_F(SearchTest, FoundDevicesAreMarkedAndTheTickedOnesAdded)
{
    addDevices(3);
    sims[2].setVersion(40);
    addToBook(QStringLiteral("Котельня"), {127, 0, 0, 3});

    QStringList shown;
    QStringList afterAdding;
    const AbonentBook book = searchFromTheList(sims.unicastToEach(), [&](TFormSearch& form) {
        shown = rows(form);
        EXPECT_EQ(form.findChild<QLabel*>("SearchStatus")->text(), "Знайдено пристроїв: 3");
        tick(form, "127.0.0.4");
        add(form);
        afterAdding = rows(form);
    });
    EXPECT_EQ(shown, QStringList({
                         "- Щит 2 127.0.0.3 v39 [вже у списку абонентів]",
                         ". Щит 3 127.0.0.4 v40 [версія 40 не обслуговується]",
                         "x Щит 1 127.0.0.2 v39 []",
                     }));
    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].line1, "Додано до списку абонентів: 2");
    EXPECT_EQ(entries(book),
              QStringList({"Котельня 127.0.0.3", "Щит 1 127.0.0.2", "Щит 3 127.0.0.4"}));
    EXPECT_EQ(afterAdding.filter(QStringLiteral("вже у списку абонентів")).size(), 3)
        << "a second press adds nothing twice";
}

// A device name with control characters or characters Windows-1251 cannot hold is shown as
// it came and cleaned when added; a full book takes no more.
TEST_F(SearchTest, NamesAreCleanedAndTheBookKeepsItsLimit)
{
    addDevices(2);
    sims[0].setName(QByteArray("Pump\x01\x02") + toCp1251(QStringLiteral("№7")));
    for (int i = 0; i < kMaxAbonents - 1; ++i)
        addToBook(QStringLiteral("Абонент %1").arg(i), {127, 1, quint8(i / 256), quint8(i % 256)});
    const auto only = [&](int device) {
        SearchOptions o = sims.unicastToEach();
        o.targets = {o.targets[device]};
        return o;
    };

    QString shownName;
    ConnSet().cur.book = searchFromTheList(only(0), [&](TFormSearch& form) {
        shownName = form.findChild<QTableWidget*>("DeviceTable")->item(0, 1)->text();
        add(form);
    });
    EXPECT_EQ(shownName, QStringLiteral("Pump\x01\x02№7"));
    const AbonentBook& book = ConnSet().cur.book;
    ASSERT_EQ(book.users_num, kMaxAbonents);
    const int added = FindAbonentByAddress(book, {127, 0, 0, 2});
    ASSERT_GE(added, 0);
    EXPECT_EQ(AbonentName(book.abonents[size_t(added)]), QStringLiteral("Pump  №7"));

    op.asked.clear();
    const AbonentBook full = searchFromTheList(only(1), [&](TFormSearch& form) { add(form); });
    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].line1, "Список абонентів заповнений (200 абонентів)");
    EXPECT_EQ(op.asked[0].line2, "Додано: 0, не додано: 1");
    EXPECT_EQ(full, book);
}

// "Зупинити" ends a long search at once; "Шукати знову" is offered then. A search that finds
// nothing says so and shows what it tried.
TEST_F(SearchTest, StoppingAndFindingNothing)
{
    SearchOptions nowhere = sims.options(60000);
    nowhere.targets.append({QStringLiteral("lo"), QHostAddress(QStringLiteral("127.0.0.1")),
                            QHostAddress(QStringLiteral("255.0.0.0")),
                            QHostAddress(QStringLiteral("127.0.0.9")), false});
    TFormAbonents_List list;
    list.setSearchOptions(nowhere);
    list.show();
    bool stopEnabled = false;
    bool searchEnabledAfter = false;
    QString status;
    QString log;
    ModalAnswer close("BtnClose");
    close.inspect = [&](QWidget* w) {
        auto& form = *qobject_cast<TFormSearch*>(w);
        stopEnabled = form.findChild<QAbstractButton*>("BtnStop")->isEnabled();
        form.findChild<QAbstractButton*>("BtnStop")->click();
        waitForTheEnd(form);
        searchEnabledAfter = form.findChild<QAbstractButton*>("BtnSearch")->isEnabled();
        status = form.findChild<QLabel*>("SearchStatus")->text();
        log = form.findChild<QPlainTextEdit*>("SearchLog")->toPlainText();
    };
    list.findChild<QAbstractButton*>("BtnSearch")->click();
    ASSERT_TRUE(close.answered());
    EXPECT_TRUE(stopEnabled);
    EXPECT_TRUE(searchEnabledAfter);
    EXPECT_EQ(status, "Пристроїв не знайдено");
    EXPECT_TRUE(log.contains("Запити через lo з 127.0.0.1 на 127.0.0.9")) << log.toStdString();
    EXPECT_TRUE(log.contains("Звичайні причини")) << log.toStdString();
    EXPECT_TRUE(op.asked.isEmpty());
}

// Without options of its own the list searches where the settings say: here an interface
// the machine does not have, so nothing is sent and the search says why.
TEST_F(SearchTest, TheSettingsChooseTheInterfaces)
{
    ConnSet().cur.SearchInterfaces = {QStringLiteral("nosuch0")};
    TFormAbonents_List list;
    list.show();
    QString log;
    ModalAnswer close("BtnClose");
    close.inspect = [&](QWidget* w) {
        auto& form = *qobject_cast<TFormSearch*>(w);
        waitForTheEnd(form);
        log = form.findChild<QPlainTextEdit*>("SearchLog")->toPlainText();
    };
    list.findChild<QAbstractButton*>("BtnSearch")->click();
    ASSERT_TRUE(close.answered());
    EXPECT_TRUE(log.contains("Пропущено інтерфейс nosuch0: такого інтерфейсу немає"))
        << log.toStdString();
    EXPECT_TRUE(log.contains("Надіслано запитів: 0")) << log.toStdString();
}

} // namespace
