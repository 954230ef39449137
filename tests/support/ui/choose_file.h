#pragma once
// Confirms a Qt file dialog with a file, as an operator types its name. QFileDialog's own
// selectFile() leaves the name field alone while that field has the focus, and a file the
// views select once the directory has loaded wins over the name; both depend on timing, so
// tests clear the views' selection and type into the name field instead.

#include <QString>

class QFileDialog;

void ChooseFileAndAccept(QFileDialog& dialog, const QString& path);
