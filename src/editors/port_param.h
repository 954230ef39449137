#pragma once
// The port parameters dialog: the network side of one device port (working mode, local port,
// remote address and port) and its serial side (rate, stop bits, parity, data bits, time-out).
// It edits a working copy and hands it to the opener only on an accept that passed the checks.

#include "config/devconfig.h"
#include "editors/editmode.h"
#include "ui_port_param.h"
#include "widgets/editfields.h"
#include "widgets/formdialog.h"

class TFormPort_Param : public FormDialog
{
    Q_OBJECT
public:
    // port (1 or 2) is shown in the caption only.
    TFormPort_Param(PortConfig& group, int port, EditMode mode, QWidget* parent = nullptr);

    // True once an accept has passed the checks and stored the working copy.
    bool isAccepted() const { return accepted_; }

private:
    void FormShow() override;
    void ComboBox1Click();
    void BitBtn3Click();

    Ui::TFormPort_Param ui;
    PortConfig& group_;
    PortConfig work_{};
    int port_;
    EditMode mode_;
    bool accepted_ = false;
    PortFields fields_;
};
