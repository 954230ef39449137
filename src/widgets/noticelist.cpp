#include "widgets/noticelist.h"

#include <QApplication>

TFormNoticeList::TFormNoticeList(QWidget* parent) : FormDialog(parent)
{
    ui.setupUi(this);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(15);
    ui.Label1->setFont(font);
    ui.Memo1->setFont(font);
    connect(ui.BitBtn3, &QPushButton::clicked, this, &QDialog::accept);
}

void TFormNoticeList::setNotice(const QString& title, const QStringList& lines)
{
    ui.Label1->setText(title);
    ui.Memo1->setPlainText(lines.join(QLatin1Char('\n')));
}

void TFormNoticeList::FormShow()
{
    ui.BitBtn3->setFocus();
    centreOnScreen();
}

void ShowNoticeList(const QString& title, const QStringList& lines)
{
    TFormNoticeList dialog(QApplication::activeWindow());
    dialog.setNotice(title, lines);
    dialog.exec();
}
