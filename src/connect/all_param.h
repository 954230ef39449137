#pragma once
// The all-parameters form: the one window of work over an Ethernet link. It shows the whole
// configuration record of the connected device (both ports and the device's own network
// parameters), lets the operator change it, and reads it from the device, writes it there,
// saves it to a configuration file or loads it from one.

#include "config/devconfig.h"
#include "ui_all_param.h"
#include "widgets/editfields.h"
#include "widgets/formdialog.h"

#include <QDateTime>

#include <array>
#include <functional>
#include <memory>

struct LinkContext;
class FileDialogs;
class QComboBox;

class TFormAll_Param : public FormDialog
{
    Q_OBJECT
public:
    // link is the open Ethernet link: its device record and MAC are what the form starts from,
    // and the device actions read and write through it.
    explicit TFormAll_Param(LinkContext& link, QWidget* parent = nullptr);
    ~TFormAll_Param() override;

    // The dialogs the file actions ask for a file name (not owned; the form's own Qt dialogs
    // until one is given).
    void setFileDialogs(FileDialogs& dialogs);
    // The clock of the name proposed for a save (the current time until one is given).
    void setClock(std::function<QDateTime()> now);

    // Fills every control from Record; when FromDevice, Record is first taken from the
    // device's record of the link and the status line names the device.
    void ShowRecord();
    // Checks the controls and copies them into Record, group by group: the network group,
    // the name, port 1, whether port 2 is on, port 2. False, with the operator told and the
    // focus on the field, at the first group refused; the groups before it are then stored.
    bool ReadForm();

    // The form's configuration record: everything shown comes from it.
    DeviceConfig Record{};
    // True when Record was last taken from the device, false after a file was loaded.
    bool FromDevice = true;

protected:
    // Esc does not leave the form, as it would leave a dialog: leaving the form ends the work
    // over the link (the main window closes it), which only the close box and "Вихід" do.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormShow() override;
    void placeCheckBox();
    void setPanelColour(const QColor& colour);

    void CbRegimClick(QComboBox* sender);
    void CheckBox1Click();
    void EnablePort2();
    void DisablePort2();
    void ComboBox6Click();

    bool readPort(int index);

    void N3Click();
    void Wr_Click();
    void N2Click();
    void N4Click();
    // The name proposed for a save: <CONFIG>/<device name>_yymmdd_hHH.cnf.
    QString defaultFileName() const;

    Ui::TFormAll_Param ui;
    LinkContext& link_;
    std::array<PortFields, 2> ports_{};
    NetFields net_;
    FileDialogs* dialogs_ = nullptr;
    std::unique_ptr<FileDialogs> ownDialogs_;
    std::function<QDateTime()> now_;
};
