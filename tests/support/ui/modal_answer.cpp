#include "support/ui/modal_answer.h"

#include "support/ui/choose_file.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QWidget>

#include <gtest/gtest.h>

ModalAnswer::ModalAnswer(Action action, const QString& button, int deadlineMs)
    : action_(action), button_(button)
{
    deadline_ = QDateTime::currentMSecsSinceEpoch() + deadlineMs;
    timer_.setInterval(10);
    connect(&timer_, &QTimer::timeout, this, &ModalAnswer::poll);
    timer_.start();
}

void ModalAnswer::poll()
{
    QWidget* dialog = QApplication::activeModalWidget();
    QAbstractButton* button = nullptr;
    bool ready = dialog && dialog->isVisible();
    if (ready && action_ == Action::Click) {
        button = dialog->findChild<QAbstractButton*>(button_);
        ready = button && button->isVisible() && button->isEnabled();
    }

    if (!ready) {
        if (QDateTime::currentMSecsSinceEpoch() < deadline_)
            return;
        timer_.stop();
        ADD_FAILURE() << "no modal dialog"
                      << (action_ == Action::Click ? " with a button " + button_.toStdString()
                                                   : std::string())
                      << " appeared in time";
        if (dialog)
            dialog->close();
        return;
    }

    timer_.stop();
    record(dialog);
    if (inspect)
        inspect(dialog);
    answered_ = true;
    switch (action_) {
    case Action::Click:
        button->click();
        break;
    case Action::PressEscape: {
        QWidget* target = dialog->focusWidget() ? dialog->focusWidget() : dialog;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        break;
    }
    case Action::CloseWindow:
        dialog->close(); // what the close box does
        break;
    }
}

void ModalAnswer::record(QWidget* dialog)
{
    seen_.caption = dialog->windowTitle();
    seen_.size = dialog->size();
    for (const QLabel* label : dialog->findChildren<QLabel*>()) {
        if (!label->objectName().isEmpty())
            seen_.labels.insert(label->objectName(), label->text());
    }
    for (const QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
        if (!b->objectName().isEmpty() && b->isVisible())
            seen_.buttons.insert(b->objectName(), b->geometry());
    }
    if (const QWidget* f = dialog->focusWidget())
        seen_.focus = f->objectName();
}

UnexpectedDialogs::UnexpectedDialogs()
{
    timer_.setInterval(10);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            captions << dialog->windowTitle();
            dialog->close();
        }
    });
    timer_.start();
}

std::unique_ptr<ModalAnswer> ChooseFileInNextDialog(const QString& path)
{
    auto answer = std::make_unique<ModalAnswer>(ModalAnswer::Action::CloseWindow);
    answer->inspect = [path](QWidget* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        ASSERT_NE(files, nullptr) << "a file dialog";
        ChooseFileAndAccept(*files, path);
    };
    return answer;
}
