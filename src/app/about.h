#pragma once
// The about box: the program's name, version and years over a picture, and the credits.

#include "ui_about.h"
#include "widgets/formdialog.h"

class TFormAbout : public FormDialog
{
    Q_OBJECT
public:
    explicit TFormAbout(QWidget* parent = nullptr);

private:
    void fillCredits();
    void FormShow() override;
    void BitBtn1Click();

    Ui::TFormAbout ui;
};
