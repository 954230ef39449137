#pragma once
// The about box: the program's name, version and years over a picture, and the credits.

#include "ui_about.h"

#include <QDialog>

class TFormAbout : public QDialog
{
    Q_OBJECT
public:
    explicit TFormAbout(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillCredits();
    void FormShow();
    void BitBtn1Click();

    Ui::TFormAbout ui;
};
