#include "widgets/formdialog.h"

#include "widgets/uiresources.h"

#include <QScreen>
#include <QShowEvent>

FormDialog::FormDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    InitUiResources();
}

void FormDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void FormDialog::centreOnScreen()
{
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}
