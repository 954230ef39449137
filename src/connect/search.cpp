#include "connect/search.h"

#include "config/abonent_book.h"
#include "config/cp1251.h"
#include "config/operator.h"

#include <QHeaderView>

namespace
{

enum Column { ColTick, ColName, ColAddress, ColVersion, ColMac, ColInterface, ColNote };
constexpr int kColumnWidths[] = {28, 210, 110, 60, 140, 80};

QTableWidgetItem* cell(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

IpAddress ipv4Of(const QHostAddress& a)
{
    const quint32 v = a.toIPv4Address();
    return {quint8(v >> 24), quint8(v >> 16), quint8(v >> 8), quint8(v)};
}

} // namespace

TFormSearch::TFormSearch(AbonentBook& book, const SearchOptions& options, QWidget* parent)
    : FormDialog(parent), book_(book), options_(options)
{
    ui.setupUi(this);
    QHeaderView* header = ui.DeviceTable->horizontalHeader();
    for (int i = 0; i < int(std::size(kColumnWidths)); ++i)
        ui.DeviceTable->setColumnWidth(i, kColumnWidths[i]);
    header->setDefaultAlignment(Qt::AlignCenter);

    connect(&search_, &DeviceSearch::deviceFound, this, &TFormSearch::showDevice);
    connect(&search_, &DeviceSearch::deviceChanged, this, &TFormSearch::showDevice);
    connect(&search_, &DeviceSearch::progress, this, [this](int elapsed, int window) {
        ui.SearchProgress->setRange(0, window);
        ui.SearchProgress->setValue(elapsed);
        if (search_.running())
            ui.SearchStatus->setText(
                QStringLiteral("Пошук... знайдено пристроїв: %1").arg(search_.devices().size()));
    });
    connect(&search_, &DeviceSearch::finished, this, &TFormSearch::searchFinished);
    connect(ui.BtnStop, &QPushButton::clicked, &search_, &DeviceSearch::stop);
    connect(ui.BtnSearch, &QPushButton::clicked, this, &TFormSearch::startSearch);
    connect(ui.BtnAdd, &QPushButton::clicked, this, &TFormSearch::BtnAddClick);
    connect(ui.BtnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::finished, &search_, &DeviceSearch::stop);
}

void TFormSearch::FormShow()
{
    centreOnScreen();
    startSearch();
}

void TFormSearch::setRunning(bool running)
{
    ui.BtnStop->setEnabled(running);
    ui.BtnSearch->setEnabled(!running);
    ui.BtnAdd->setEnabled(!running && ui.DeviceTable->rowCount() > 0);
}

void TFormSearch::startSearch()
{
    ui.DeviceTable->setRowCount(0);
    ui.SearchLog->clear();
    ui.SearchStatus->setText(QStringLiteral("Пошук..."));
    setRunning(true);
    search_.start(options_); // a search that cannot start has already finished
}

// One row per device, in the order found; its mark tells whether the book has its address
// already and whether its version is served.
void TFormSearch::showDevice(int index)
{
    const auto& devices = search_.devices();
    if (index < 0 || index >= int(devices.size()))
        return;
    QTableWidget* table = ui.DeviceTable;
    if (index >= table->rowCount())
        table->setRowCount(index + 1);
    const FoundDevice& d = devices[size_t(index)];
    const bool inBook = FindAbonentByAddress(book_, ipv4Of(d.address)) >= 0;

    QTableWidgetItem* tick = table->item(index, ColTick);
    if (!tick) {
        tick = new QTableWidgetItem;
        tick->setCheckState(inBook || !d.supported() ? Qt::Unchecked : Qt::Checked);
        table->setItem(index, ColTick, tick);
    }
    tick->setFlags(inBook ? Qt::ItemIsSelectable
                          : Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    if (inBook)
        tick->setCheckState(Qt::Unchecked);

    QStringList notes;
    if (inBook)
        notes << QStringLiteral("вже у списку абонентів");
    if (d.version >= 0 && !d.supported())
        notes << QStringLiteral("версія %1 не обслуговується").arg(d.version);
    if (!d.haveConfig)
        notes << QStringLiteral("конфігурацію не прочитано");
    table->setItem(index, ColName, cell(d.name()));
    table->setItem(index, ColAddress, cell(d.address.toString()));
    table->setItem(index, ColVersion,
                   cell(d.version < 0 ? QStringLiteral("?") : QString::number(d.version)));
    table->setItem(index, ColMac, cell(MacText(d.mac)));
    table->setItem(index, ColInterface, cell(d.interfaceName));
    table->setItem(index, ColNote, cell(notes.join(QStringLiteral("; "))));
}

void TFormSearch::searchFinished()
{
    for (int i = 0; i < int(search_.devices().size()); ++i)
        showDevice(i); // the last word on every row
    const int found = int(search_.devices().size());
    ui.SearchStatus->setText(found == 0 ? QStringLiteral("Пристроїв не знайдено")
                                        : QStringLiteral("Знайдено пристроїв: %1").arg(found));
    ui.SearchLog->setPlainText(search_.explanation().join(QLatin1Char('\n')));
    ui.SearchProgress->setValue(ui.SearchProgress->maximum()); // stopped or over: done
    setRunning(false);
}

void TFormSearch::BtnAddClick()
{
    const auto& devices = search_.devices();
    int added = 0;
    int notAdded = 0;
    for (int row = 0; row < ui.DeviceTable->rowCount() && row < int(devices.size()); ++row) {
        const QTableWidgetItem* tick = ui.DeviceTable->item(row, ColTick);
        if (!tick || tick->checkState() != Qt::Checked)
            continue;
        const FoundDevice& d = devices[size_t(row)];
        const IpAddress address = ipv4Of(d.address);
        switch (AddAbonent(book_, AbonentNameOfDevice(d.name(), address), address)) {
        case AddAbonentResult::Added:
            ++added;
            break;
        case AddAbonentResult::AlreadyInBook:
            break;
        case AddAbonentResult::BookFull:
            ++notAdded;
            break;
        }
    }
    added_ += added;
    for (int i = 0; i < int(devices.size()); ++i)
        showDevice(i);
    if (notAdded > 0) {
        CurrentOperator().ask(
            MsgNotice,
            QStringLiteral("Список абонентів заповнений (%1 абонентів)").arg(kMaxAbonents),
            QStringLiteral("Додано: %1, не додано: %2").arg(added).arg(notAdded));
    } else {
        CurrentOperator().ask(
            MsgNotice, QStringLiteral("Додано до списку абонентів: %1").arg(added), QString());
    }
}
