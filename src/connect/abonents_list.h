#pragma once
// The abonent book of the Ethernet link: the list of abonents, ordered by name or address,
// with adding, changing and deleting entries. The dialog works on a copy of the book taken
// when it is shown and hands the copy back only when the operator accepts.

#include "config/rd_wr_ini.h"
#include "link/discover.h"
#include "ui_abonents_list.h"
#include "widgets/formdialog.h"

#include <optional>

class TFormAbonents_List : public FormDialog
{
    Q_OBJECT
public:
    explicit TFormAbonents_List(QWidget* parent = nullptr);

    // True once "Прийняти" has copied the working book into ConnSet().cur.book.
    bool isAccepted() const { return accepted_; }
    const AbonentBook& workingBook() const { return book_; }
    // Where "Пошук пристроїв" searches; unless set, on the interfaces SearchInterfaces of
    // the settings names, at the device's usual ports.
    void setSearchOptions(const SearchOptions& options) { searchOptions_ = options; }

private:
    void FormShow() override;
    // Orders the working book, fills the grid from it and sets the buttons.
    void Refresh();
    void placeSortButtons();
    int usedEntries() const;
    bool hasCurrentEntry() const { return book_.user_index < usedEntries(); }

    void StringGrid1Click();
    void StringGrid1DblClick();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void BitBtn5Click();
    void BtnSearchClick();

    Ui::TFormAbonents_List ui;
    AbonentBook book_;
    std::optional<SearchOptions> searchOptions_;
    bool accepted_ = false;
};

// Shows the abonent list modally; true when the operator accepted it, in which case
// ConnSet().cur.book holds the edited book.
bool ExecAbonentsList(QWidget* parent);
