#pragma once
// The configuration editor hub: a whole device configuration record, new or from a file,
// shown by its firmware version with three buttons that open the Ethernet parameters and the
// port parameters of either port on the hub's working copy. The caller's record changes only
// when the operator accepts.

#include "config/devconfig.h"
#include "editors/editmode.h"
#include "ui_config.h"
#include "widgets/formdialog.h"

class TFormConfig : public FormDialog
{
    Q_OBJECT
public:
    TFormConfig(DeviceConfig& target, EditMode mode, QWidget* parent = nullptr);

    // True once the operator accepted: the target then holds the working copy.
    bool isAccepted() const { return accepted_; }

private:
    void FormShow() override;
    void bt1Click();
    void bt2Click();
    void bt3Click();
    void editPort(int port);
    void BitBtn3Click();

    Ui::TFormConfig ui;
    DeviceConfig& target_;
    DeviceConfig work_{};
    EditMode mode_;
    bool accepted_ = false;
};
