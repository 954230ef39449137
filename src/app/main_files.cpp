// The main window's configuration file items.

#include "app/main.h"
#include "link/conffun.h"
#include "widgets/filedialogs.h"

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
