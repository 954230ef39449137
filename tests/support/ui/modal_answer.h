#pragma once
// Answers the next modal dialog the way an operator would: a timer polls for the active
// modal widget, records what it shows, then clicks a button found by objectName, presses
// Esc, or closes the window. Create it before the call that opens the dialog.

#include <QMap>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

class QWidget;

// What the dialog showed when it was answered.
struct SeenDialog {
    QString caption;
    QMap<QString, QString> labels; // text of every named QLabel, by objectName
    QMap<QString, QRect> buttons;  // geometry of every shown named button, by objectName
    QSize size;                    // of the client area
    QString focus;                 // objectName of the widget that has the focus
};

class ModalAnswer : public QObject
{
    Q_OBJECT
public:
    enum class Action { Click, PressEscape, CloseWindow };

    // Click: waits until the dialog shows an enabled button named button, then clicks it.
    // The other actions act as soon as a modal dialog is shown. A dialog that does not
    // appear within deadlineMs is a test failure; an open one is then closed so the test
    // can go on.
    explicit ModalAnswer(Action action, const QString& button = {}, int deadlineMs = 30000);
    explicit ModalAnswer(const QString& button) : ModalAnswer(Action::Click, button) {}

    // Runs on the dialog after it is recorded and before the answer.
    std::function<void(QWidget*)> inspect;

    bool answered() const { return answered_; }
    const SeenDialog& seen() const { return seen_; }

private:
    void poll();
    void record(QWidget* dialog);

    Action action_;
    QString button_;
    QTimer timer_;
    qint64 deadline_ = 0;
    bool answered_ = false;
    SeenDialog seen_;
};

// Closes every modal dialog that opens while it lives and keeps their captions, so an
// unexpected dialog fails the test instead of blocking it.
class UnexpectedDialogs : public QObject
{
    Q_OBJECT
public:
    UnexpectedDialogs();
    QStringList captions;

private:
    QTimer timer_;
};

// An answer to the next file dialog that chooses path in it, as the operator types a name.
// Create it before the call that opens the dialog.
std::unique_ptr<ModalAnswer> ChooseFileInNextDialog(const QString& path);
