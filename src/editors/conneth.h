#pragma once
// The Ethernet parameters dialog: the address assignment of a device (manual or automatic),
// its address, mask and gateway, and, where the link allows it, its name. The mode is written
// into the record as soon as it is chosen; the addresses and the name only on accept.

#include "config/devconfig.h"
#include "editors/editmode.h"
#include "ui_conneth.h"
#include "widgets/editfields.h"
#include "widgets/formdialog.h"

class TFormConEth : public FormDialog
{
    Q_OBJECT
public:
    // record's network group and name are edited in place.
    TFormConEth(DeviceConfig& record, EditMode mode, QWidget* parent = nullptr);

    // True once an accept has passed the checks and stored the fields.
    bool isAccepted() const { return accepted_; }

private:
    void FormShow() override;
    void ComboBox1Click();
    void BitBtn1Click();
    // True when the name field is for the operator: always when editing a record, and over
    // an Ethernet link (a COM link carries no name).
    bool nameEditable() const;

    Ui::TFormConEth ui;
    DeviceConfig& record_;
    EditMode mode_;
    bool accepted_ = false;
    NetFields fields_;
};
