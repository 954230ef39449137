#pragma once
// One entry of the abonent book: its name and IP address, edited in place or filled into a
// free slot. The entry changes only when the operator accepts valid values.

#include "config/rd_wr_ini.h"
#include "ui_abonent.h"
#include "widgets/formdialog.h"

class TFormAbonent : public FormDialog
{
    Q_OBJECT
public:
    enum class Mode {
        Edit, // the fields start with the entry's values
        Add,  // the fields start empty; the entry is a free slot
    };

    TFormAbonent(Abonent& entry, Mode mode, QWidget* parent = nullptr);

    // True once "Прийняти" has stored the fields into the entry.
    bool isAccepted() const { return accepted_; }

private:
    void FormShow() override;
    void BitBtn4Click();
    void BitBtn5Click();
    // Checks the fields in order and tells the operator about the first bad one.
    bool readAddress(IpAddress& address);

    Ui::TFormAbonent ui;
    Abonent& entry_;
    Mode mode_;
    bool accepted_ = false;
};
