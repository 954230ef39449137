#pragma once
// The notice of a list: a title and lines, all plain text, for more lines than the message
// dialog holds (the fields a device did not keep after a write, say). The lines scroll when
// they do not fit; the acknowledge button closes it.

#include "ui_noticelist.h"
#include "widgets/formdialog.h"

class TFormNoticeList : public FormDialog
{
    Q_OBJECT
public:
    explicit TFormNoticeList(QWidget* parent = nullptr);

    void setNotice(const QString& title, const QStringList& lines);

private:
    void FormShow() override;

    Ui::TFormNoticeList ui;
};

// Shows the notice of a list modally and returns when it has closed.
void ShowNoticeList(const QString& title, const QStringList& lines);
