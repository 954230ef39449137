#include "connect/abonents_list.h"

#include "config/abonent_book.h"
#include "config/operator.h"
#include "connect/abonent.h"
#include "connect/search.h"

#include <QHeaderView>
#include <QSignalBlocker>

#include <algorithm>

namespace
{

constexpr int kWidth = 622;
constexpr int kHeight = 560;
constexpr int kColumnWidths[] = {36, 393, 157};
constexpr int kRowHeight = 22;
constexpr int kSortButtonMargin = 2;

QTableWidgetItem* cell(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

TFormAbonents_List::TFormAbonents_List(QWidget* parent) : FormDialog(parent)
{
    ui.setupUi(this);

    QTableWidget* grid = ui.StringGrid1;
    QHeaderView* header = grid->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionsClickable(false);
    header->setDefaultAlignment(Qt::AlignCenter);
    for (int i = 0; i < 3; ++i)
        grid->setColumnWidth(i, kColumnWidths[i]);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(kRowHeight);

    // The sort buttons sit at the right end of the header panels of their columns; Designer
    // cannot place a widget on a header, so they move there here.
    for (QToolButton* b : {ui.SpeedButton1, ui.SpeedButton2}) {
        b->setParent(header);
        b->show();
    }

    connect(grid, &QTableWidget::itemSelectionChanged, this, &TFormAbonents_List::StringGrid1Click);
    connect(grid, &QTableWidget::cellDoubleClicked, this, &TFormAbonents_List::StringGrid1DblClick);
    connect(ui.SpeedButton1, &QToolButton::clicked, this, &TFormAbonents_List::SpeedButton1Click);
    connect(ui.SpeedButton2, &QToolButton::clicked, this, &TFormAbonents_List::SpeedButton2Click);
    connect(ui.BitBtn1, &QPushButton::clicked, this, &TFormAbonents_List::BitBtn1Click);
    connect(ui.BitBtn2, &QPushButton::clicked, this, &TFormAbonents_List::BitBtn2Click);
    connect(ui.BitBtn3, &QPushButton::clicked, this, &TFormAbonents_List::BitBtn3Click);
    connect(ui.BitBtn4, &QPushButton::clicked, this, &TFormAbonents_List::BitBtn4Click);
    connect(ui.BitBtn5, &QPushButton::clicked, this, &TFormAbonents_List::BitBtn5Click);
    connect(ui.BtnSearch, &QPushButton::clicked, this, &TFormAbonents_List::BtnSearchClick);
}

void TFormAbonents_List::FormShow()
{
    setFixedSize(kWidth, kHeight);
    placeSortButtons();
    book_ = ConnSet().cur.book;
    Refresh();
    ui.StringGrid1->setFocus();
    centreOnScreen();
}

void TFormAbonents_List::placeSortButtons()
{
    const QHeaderView* header = ui.StringGrid1->horizontalHeader();
    const int side = std::max(header->sizeHint().height() - 2 * kSortButtonMargin, 12);
    const std::pair<QToolButton*, int> placed[] = {{ui.SpeedButton1, 1}, {ui.SpeedButton2, 2}};
    for (const auto& [button, column] : placed) {
        const int right = header->sectionPosition(column) + header->sectionSize(column);
        button->setGeometry(right - kSortButtonMargin - side, kSortButtonMargin, side, side);
    }
}

int TFormAbonents_List::usedEntries() const
{
    return std::min<int>(book_.users_num, kMaxAbonents);
}

void TFormAbonents_List::Refresh()
{
    QTableWidget* grid = ui.StringGrid1;
    const QSignalBlocker blocker(grid); // the selection set here is not the operator's click
    grid->clearContents();
    grid->clearSelection();
    grid->setCurrentItem(nullptr);

    const int used = usedEntries();
    if (used == 0) {
        grid->setRowCount(1);
        ui.BitBtn1->setEnabled(false);
        ui.BitBtn3->setEnabled(false);
        ui.BitBtn2->setEnabled(true);
        return;
    }

    grid->setRowCount(used);
    if (used > 1)
        SortAbonentBook(book_);

    // An order the book does not know leaves both buttons to choose from.
    ui.SpeedButton1->setEnabled(book_.sort_prz != 0);
    ui.SpeedButton2->setEnabled(book_.sort_prz != 1);

    for (int j = 0; j < used; ++j) {
        const Abonent& a = book_.abonents[size_t(j)];
        grid->setItem(j, 0, cell(QStringLiteral("  %1").arg(j + 1)));
        grid->setItem(j, 1, cell(QStringLiteral(" ") + AbonentName(a)));
        grid->setItem(j, 2, cell(AddressText(a.ip_adr)));
    }

    if (hasCurrentEntry()) {
        grid->setCurrentCell(book_.user_index, 0);
        grid->scrollToItem(grid->item(book_.user_index, 0));
    }
    ui.BitBtn1->setEnabled(true);
    ui.BitBtn3->setEnabled(true);
    ui.BitBtn2->setEnabled(used < kMaxAbonents);
}

// The selected row becomes the current entry, whether chosen by mouse or keyboard.
void TFormAbonents_List::StringGrid1Click()
{
    const QModelIndexList rows = ui.StringGrid1->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    const int row = rows.first().row();
    if (row < usedEntries()) // never the empty row of an empty book
        book_.user_index = quint8(row);
}

void TFormAbonents_List::StringGrid1DblClick()
{
    StringGrid1Click();
    BitBtn1Click();
}

void TFormAbonents_List::SpeedButton1Click()
{
    book_.sort_prz = 0;
    Refresh();
}

void TFormAbonents_List::SpeedButton2Click()
{
    book_.sort_prz = 1;
    Refresh();
}

void TFormAbonents_List::BitBtn1Click()
{
    if (!hasCurrentEntry())
        return;
    TFormAbonent form(book_.abonents[book_.user_index], TFormAbonent::Mode::Edit, this);
    form.exec();
    if (form.isAccepted())
        Refresh();
}

void TFormAbonents_List::BitBtn2Click()
{
    const int slot = usedEntries();
    if (slot >= kMaxAbonents)
        return;
    TFormAbonent form(book_.abonents[size_t(slot)], TFormAbonent::Mode::Add, this);
    form.exec();
    if (!form.isAccepted())
        return;
    book_.user_index = quint8(slot);
    book_.users_num = quint8(slot + 1);
    Refresh();
}

void TFormAbonents_List::BitBtn3Click()
{
    if (!hasCurrentEntry())
        return;
    if (!CurrentOperator().ask(MsgQuestion, QStringLiteral("Ви дійсно хочете"),
                               QStringLiteral("видалити цей абонент?")))
        return;
    const BusyScope busy;
    DeleteCurrentAbonent(book_);
    Refresh();
}

void TFormAbonents_List::BitBtn4Click()
{
    ConnSet().cur.book = book_;
    accepted_ = true;
    accept();
}

void TFormAbonents_List::BitBtn5Click()
{
    reject();
}

// The devices found are added to the working book, as entries added by hand are.
void TFormAbonents_List::BtnSearchClick()
{
    SearchOptions options;
    options.interfaces = ConnSet().cur.SearchInterfaces;
    TFormSearch form(book_, searchOptions_.value_or(options), this);
    form.exec();
    if (form.addedCount() > 0)
        Refresh();
}

bool ExecAbonentsList(QWidget* parent)
{
    TFormAbonents_List dialog(parent);
    dialog.exec();
    return dialog.isAccepted();
}
