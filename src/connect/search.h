#pragma once
// "Пошук пристроїв": finds the devices on the network and adds the ones the operator ticks to
// the abonent book being edited. The search runs while the window stays responsive; it shows
// its progress and can be stopped, and when it ends, what it tried.

#include "config/rd_wr_ini.h"
#include "link/discover.h"
#include "ui_search.h"
#include "widgets/formdialog.h"

class TFormSearch : public FormDialog
{
    Q_OBJECT
public:
    // book is the abonent book the found devices are added to (the abonent list's working
    // copy); options say where to search.
    TFormSearch(AbonentBook& book, const SearchOptions& options, QWidget* parent = nullptr);

    int addedCount() const { return added_; }
    DeviceSearch& search() { return search_; }

private:
    void FormShow() override;
    void startSearch();
    void showDevice(int index);
    void searchFinished();
    void BtnAddClick();
    void setRunning(bool running);

    Ui::TFormSearch ui;
    AbonentBook& book_;
    SearchOptions options_;
    DeviceSearch search_;
    int added_ = 0;
};
