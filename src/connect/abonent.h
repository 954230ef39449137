#pragma once
// One entry of the abonent book: its name and IP address, edited in place or filled into a
// free slot. The entry changes only when the operator accepts valid values.

#include "config/rd_wr_ini.h"
#include "ui_abonent.h"

#include <QDialog>

class TFormAbonent : public QDialog
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

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void BitBtn4Click();
    void BitBtn5Click();
    // Checks the fields in order and tells the operator about the first bad one.
    bool readAddress(IpAddress& address);

    Ui::TFormAbonent ui;
    Abonent& entry_;
    Mode mode_;
    bool accepted_ = false;
};
