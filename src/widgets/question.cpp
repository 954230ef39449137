#include "widgets/question.h"

#include "config/operator.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScreen>

#include <algorithm>

int MessageKind = 0;
quint8 AnswerFlag = 0;

namespace
{
constexpr int kButtonBottomMargin = 10;
constexpr int kLabelMargin = 14; // labels are this much narrower than the form
} // namespace

TFormQues::TFormQues(QWidget* parent) : FormDialog(parent)
{
    ui.setupUi(this);
    AnswerFlag = 0;

    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(212, 212, 212));
    setPalette(pal);
    setAutoFillBackground(true);

    QFont lineFont(QStringLiteral("Arial"));
    lineFont.setPixelSize(15);
    for (QLabel* label : {ui.Label1, ui.Label2, ui.Label3}) {
        label->setFont(lineFont);
        QPalette lp = label->palette();
        lp.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(lp);
    }

    connect(ui.BitBtn1, &QPushButton::clicked, this, &TFormQues::BitBtn1Click);
    connect(ui.BitBtn2, &QPushButton::clicked, this, &TFormQues::BitBtn2Click);
    connect(ui.BitBtn3, &QPushButton::clicked, this, &TFormQues::BitBtn3Click);
}

void TFormQues::setMessage(int kind, const QString& text1, const QString& text2)
{
    setWindowTitle(QString());
    ui.Label3->clear();
    ui.BitBtn1->hide();
    ui.BitBtn2->hide();
    ui.BitBtn3->show();

    // Lines 1 and 2 are the caller's texts whatever the kind, so a message is never lost.
    ui.Label1->setText(text1);
    ui.Label2->setText(text2);
    switch (kind) {
    case MsgError:
        setWindowTitle(QStringLiteral("Помилка"));
        break;
    case MsgInputError:
        setWindowTitle(QStringLiteral("Помилка вводу параметрів"));
        break;
    case MsgRetry:
        ui.Label3->setText(QStringLiteral("Повторити спробу?"));
        [[fallthrough]];
    case MsgQuestion:
        ui.BitBtn1->show();
        ui.BitBtn2->show();
        ui.BitBtn3->hide();
        break;
    default: // MsgNotice and anything unknown: caption empty, acknowledge only
        break;
    }
}

// Sizes the form to its texts and places the buttons. Sizes are those of the client area.
void TFormQues::FormShow()
{
    const bool line2Empty = ui.Label2->text().isEmpty();
    const bool line3Empty = ui.Label3->text().isEmpty();
    const int h = (line2Empty && line3Empty) ? 124 : (line3Empty ? 150 : 175);

    const qsizetype longest = std::max({windowTitle().size(), ui.Label1->text().size(),
                                        ui.Label2->text().size(), ui.Label3->text().size()});
    int w = int(10 * longest + 20);
    w = std::max(w, ui.BitBtn1->width() + ui.BitBtn2->width() + 60);
    setFixedSize(w, h);

    for (QLabel* label : {ui.Label1, ui.Label2, ui.Label3})
        label->resize(w - kLabelMargin, label->height());

    const int buttonTop = h - kButtonBottomMargin - ui.BitBtn3->height();
    if (!ui.BitBtn3->isHidden()) {
        ui.BitBtn3->move((w - ui.BitBtn3->width()) / 2, buttonTop);
    } else {
        const int gap = (w - ui.BitBtn1->width() - ui.BitBtn2->width()) / 3 - 3;
        ui.BitBtn2->move(gap, buttonTop);
        ui.BitBtn1->move(gap + ui.BitBtn2->width() + gap, buttonTop);
    }
    (!ui.BitBtn1->isHidden() ? ui.BitBtn1 : ui.BitBtn3)->setFocus();

    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - QPoint(w / 2, h / 2));
}

// Esc presses "Ні" while it is shown; otherwise it closes the dialog like the close box.
void TFormQues::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier &&
        !ui.BitBtn2->isHidden()) {
        ui.BitBtn2->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFormQues::BitBtn1Click()
{
    AnswerFlag = 1;
    accept();
}

void TFormQues::BitBtn2Click()
{
    AnswerFlag = 0;
    reject();
}

void TFormQues::BitBtn3Click()
{
    accept();
}

void ShowMessage(const QString& text1, const QString& text2)
{
    TFormQues dialog(QApplication::activeWindow());
    dialog.setMessage(MessageKind, text1, text2);
    dialog.exec();
}
