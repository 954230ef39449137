#include "widgets/filedialogs.h"

#include <QFileDialog>

QString QtFileDialogs::run(QFileDialog& dialog, const FileDialogRequest& request)
{
    dialog.setWindowTitle(request.title);
    dialog.setNameFilters(request.filters);
    if (request.filterIndex >= 0 && request.filterIndex < request.filters.size())
        dialog.selectNameFilter(request.filters.at(request.filterIndex));
    dialog.setDirectory(request.dir);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

QString QtFileDialogs::openFile(const FileDialogRequest& request)
{
    QFileDialog dialog(parent_);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return run(dialog, request);
}

QString QtFileDialogs::saveFile(const FileDialogRequest& request)
{
    QFileDialog dialog(parent_);
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString());
    return run(dialog, request);
}
