// The main window's "Параметри" items: a group read from the device on the serial link,
// edited in its dialog, written back, and read back to see that the device kept it.

#include "app/main.h"
#include "editors/conneth.h"
#include "editors/port_param.h"
#include "link/conffun.h"

// The network group; the serial link reads no address assignment, so the dialog opens with
// none chosen and the operator chooses one. The name is neither read nor written.
void TFormMain::NEth_ParClick()
{
    DeviceConfig record;
    if (!ReadNetConfig(*link_, record.net))
        return; // the failed command has shown its question
    bool accepted = false;
    {
        TFormConEth dialog(record, EditMode::WriteDevice, this);
        dialog.exec();
        accepted = dialog.isAccepted();
    }
    if (!accepted || !WriteNetConfig(*link_, record.net))
        return;
    tellWritten();
    verifyWrite([&] { return ReadBackNetConfig(*link_, record.net); });
}

void TFormMain::NPor1Click()
{
    editDevicePort(1);
}

void TFormMain::NPort2Click()
{
    editDevicePort(2);
}

void TFormMain::editDevicePort(int port)
{
    PortConfig group;
    if (!ReadPortConfig(*link_, port, group))
        return;
    bool accepted = false;
    {
        TFormPort_Param dialog(group, port, EditMode::WriteDevice, this);
        dialog.exec();
        accepted = dialog.isAccepted();
    }
    if (!accepted || !WritePortConfig(*link_, port, group))
        return;
    tellWritten();
    verifyWrite([&] { return ReadBackPortConfig(*link_, port, group); });
}
