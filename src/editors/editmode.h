#pragma once
// How a parameter editor is ended, which also names its accept button: the opener either keeps
// what was accepted ("Прийняти"), or writes it to the device right afterwards ("Записати в
// пристрій"). Either way the opener, not the editor, talks to the device.

enum class EditMode {
    AcceptInto = 0,
    WriteDevice = 1,
};
