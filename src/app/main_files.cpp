// The main window's configuration file items: a new or an existing file edited in the
// configuration hub and saved, a file's configuration written to the device, and the device's
// configuration saved to a file.

#include "app/main.h"
#include "config/cnf_file.h"
#include "config/operator.h"
#include "config/rd_wr_ini.h"
#include "editors/config.h"
#include "link/conffun.h"
#include "widgets/filedialogs.h"
#include "widgets/suplfunc.h"

void TFormMain::NPrepCnfClick(const QAction* item)
{
    DeviceConfig record;
    QtFileDialogs dialogs(this);
    if (item->property("tag").toInt() == 0)
        MakeEmptyConfig(record);
    else if (!OpenConfigFile(record, dialogs))
        return;
    const DeviceConfig snapshot = record;
    TFormConfig hub(record, EditMode::AcceptInto, this);
    hub.exec();
    if (hub.isAccepted())
        offerToSave(record, snapshot);
}

// "Конфігурування пристрою": a file, edited in the hub, written to the device. A changed
// record is offered for saving first; the device is written whatever the answer, unless the
// save itself failed.
void TFormMain::NWr_ConfigClick()
{
    DeviceConfig record;
    QtFileDialogs dialogs(this);
    if (!OpenConfigFile(record, dialogs))
        return;
    const DeviceConfig snapshot = record;
    bool accepted = false;
    {
        TFormConfig hub(record, EditMode::WriteDevice, this);
        hub.exec();
        accepted = hub.isAccepted();
    }
    if (!accepted || !offerToSave(record, snapshot))
        return;
    WriteConfigToDevice(record);
}

bool TFormMain::offerToSave(const DeviceConfig& record, const DeviceConfig& snapshot)
{
    if (record == snapshot ||
        !CurrentOperator().ask(MsgQuestion, QStringLiteral("Зберегти параметри у файлі?"),
                               QString()))
        return true;
    QtFileDialogs dialogs(this);
    return SaveConfigFile(record, dialogs) != SaveOutcome::Failed;
}

void TFormMain::WriteConfigToDevice(const DeviceConfig& record)
{
    if (!WriteDeviceConfig(*link_, record))
        return; // the failed command has shown its question
    tellWritten();
    ShowConnParams(ui.StatusBar1);
    verifyWrite([&] { return ReadBackDeviceConfig(*link_, record); });
}

void TFormMain::tellWritten()
{
    CurrentOperator().ask(MsgNotice, QStringLiteral("Параметри записані у пристрій"), QString());
}

void TFormMain::verifyWrite(const std::function<WriteCheck()>& readBack)
{
    if (ConnSet().cur.VerifyWrites)
        ReportWriteCheck(readBack());
}

// "Збереження  параметрів конфігурації в файлі": the device on the serial link, group by
// group, saved under the generated name. A failed read has shown its question already, and
// nothing is saved.
void TFormMain::NrdcnfClick()
{
    DeviceConfig cfg;
    if (!ReadDeviceConfig(*link_, cfg))
        return;
    QtFileDialogs dialogs(this);
    SaveConfigFile(cfg, dialogs);
}
