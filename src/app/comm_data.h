#pragma once
// The device command dialog: a panel per kind of device data, of which the one for the
// answer at hand is shown. Today that is the MAC address panel pn3: six bytes in hex and the
// "Вихід" button.

#include "ui_comm_data.h"
#include "widgets/formdialog.h"

#include <QList>

#include <array>

class TFormComm_Data : public FormDialog
{
    Q_OBJECT
public:
    // The dialog is centred on owner when shown (on the screen without one).
    explicit TFormComm_Data(QWidget* owner = nullptr);

    // The MAC bytes shown, in line order; all zero until set.
    void setMac(const std::array<quint8, 6>& mac) { mac_ = mac; }

private:
    void FormCreate();
    void FormShow() override;
    void BitBtnExitClick();

    Ui::TFormComm_Data ui;
    std::array<quint8, 6> mac_{};
    QList<QLabel*> macFields_; // ma1..ma6
};
