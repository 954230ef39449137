#include "support/ui/choose_file.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>

void ChooseFileAndAccept(QFileDialog& dialog, const QString& path)
{
    const QFileInfo info(path);
    dialog.setDirectory(info.absolutePath());
    // A file selected in the views wins over the typed name, and the dialog selects the
    // offered file there once its directory has loaded: drop that selection first.
    for (QAbstractItemView* view : dialog.findChildren<QAbstractItemView*>()) {
        if (view->selectionModel())
            view->selectionModel()->clearSelection();
    }
    if (auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        name->setText(info.fileName());
    else
        dialog.selectFile(path);
    QMetaObject::invokeMethod(&dialog, "accept");
}
