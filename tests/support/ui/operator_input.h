#pragma once
// Input as the operator gives it: through the window system to the window, the way a real
// click, key or close box arrives (QTest's window-level events), not by calling a widget.

#include <QPoint>
#include <QTimer>
#include <Qt>

#include <functional>

class QAction;
class QMenuBar;
class QWidget;

// A left click at pos of widget (its centre when pos is left out).
void ClickWidget(QWidget* widget, QPoint pos = QPoint(-1, -1));
// A left click on an item of the menu bar.
void ClickMenuBarItem(QMenuBar* bar, QAction* item);
// A key pressed and released while widget's window is active.
void PressKey(QWidget* widget, Qt::Key key);
// The window's close box.
void PressCloseBox(QWidget* window);

// Runs act once, from the event loop, as soon as an exchange is under way (the exchange keeps
// the loop turning while it waits). Create it before the call that starts the exchange.
class DuringExchange
{
public:
    explicit DuringExchange(std::function<void()> act);

    // True once act has run.
    bool acted() const { return acted_; }

private:
    QTimer timer_;
    bool acted_ = false;
};
