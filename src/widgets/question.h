#pragma once
// The message dialog: one to three centred lines with an acknowledge button or the pair
// "Так" / "Ні". The caller sets MessageKind, calls ShowMessage and reads AnswerFlag.

#include "ui_question.h"
#include "widgets/formdialog.h"

// Kind of the next message (MessageKinds in config/operator.h); set by the caller before each
// ShowMessage and left unchanged by it.
extern int MessageKind;
// The operator's answer: 0 when a dialog is created, 1 after "Так", 0 after "Ні"; the
// acknowledge button and the close box leave it at 0. Readable until the next dialog.
extern quint8 AnswerFlag;

// Shows the message dialog of kind MessageKind modally and returns when it has closed.
void ShowMessage(const QString& text1, const QString& text2);

class TFormQues : public FormDialog
{
    Q_OBJECT
public:
    explicit TFormQues(QWidget* parent = nullptr);

    // Fills caption, lines and buttons for a kind of message.
    void setMessage(int kind, const QString& text1, const QString& text2);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormShow() override;
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();

    Ui::TFormQues ui;
};
