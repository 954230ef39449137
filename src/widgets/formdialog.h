#pragma once
// What the program's dialogs share: a title bar with the close box only, the program's
// pictures loaded, and FormShow run each time the program shows the dialog (not when the
// window system merely shows it again).

#include <QDialog>

class FormDialog : public QDialog
{
    Q_OBJECT
public:
    explicit FormDialog(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    virtual void FormShow() = 0;

    // Puts the dialog in the middle of its screen.
    void centreOnScreen();
};
