#pragma once
// The open and save dialogs of the configuration file flows, as Qt file dialogs.

#include "config/cnf_file.h"

class QFileDialog;
class QWidget;

class QtFileDialogs final : public FileDialogs
{
public:
    explicit QtFileDialogs(QWidget* parent = nullptr) : parent_(parent) {}

    // The file must exist.
    QString openFile(const FileDialogRequest& request) override;
    // Neither asks before replacing a file nor adds an extension: the save flow does both.
    QString saveFile(const FileDialogRequest& request) override;

private:
    QString run(QFileDialog& dialog, const FileDialogRequest& request);

    QWidget* parent_;
};
