#pragma once
// The connection dialog: the operator chooses the serial port and exchange settings, or an
// abonent of the book for Ethernet; the choice is stored in the connection settings file,
// then the link is opened and checked.

#include "ui_connect.h"
#include "widgets/formdialog.h"

struct Abonent;
struct LinkContext;
class StatusLine;

class TFormConnect : public FormDialog
{
    Q_OBJECT
public:
    explicit TFormConnect(LinkContext& link, QWidget* parent = nullptr);

    // The main window's status line, set before the dialog is shown; none leaves the
    // connection parameters unshown.
    StatusLine* StatusBar = nullptr;
    // True once a link was opened and the device answered as it should.
    bool Connected = false;

protected:
    // Ending without a link keeps an abonent book that was accepted meanwhile: the settings
    // file is written then too, or those edits would be lost at the end of the program.
    void done(int result) override;

private:
    void FormShow() override;
    void ComboBox4Click();
    void BitBtn6Click();
    void BitBtn1Click();
    void BitBtn2Click();

    void FillAbonentList();
    void fillPortList();
    bool acceptSerialPage();
    bool acceptEthernetPage();
    bool storeSettings();
    bool ConnectDirect();
    bool addAbonent();
    bool ConnectEthernet(const Abonent& abonent);

    Ui::TFormConnect ui;
    LinkContext& link_;
};
