#include "support/ui/operator_input.h"

#include "link/exchangeguard.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenuBar>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

namespace
{

QWindow* windowOf(QWidget* widget)
{
    QWindow* handle = widget->window()->windowHandle();
    EXPECT_NE(handle, nullptr) << "the window is not shown";
    return handle;
}

} // namespace

void ClickWidget(QWidget* widget, QPoint pos)
{
    if (pos == QPoint(-1, -1))
        pos = widget->rect().center();
    if (QWindow* w = windowOf(widget))
        QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, widget->mapTo(widget->window(), pos));
}

void ClickMenuBarItem(QMenuBar* bar, QAction* item)
{
    const QRect where = bar->actionGeometry(item);
    ASSERT_TRUE(where.isValid()) << "the item is not on the bar";
    ClickWidget(bar, where.center());
}

void PressKey(QWidget* widget, Qt::Key key)
{
    if (QWindow* w = windowOf(widget))
        QTest::keyClick(w, key);
}

void PressCloseBox(QWidget* window)
{
    // What the window system sends when the close box is pressed.
    QCloseEvent close;
    if (QWindow* w = windowOf(window))
        QCoreApplication::sendEvent(w, &close);
}

DuringExchange::DuringExchange(std::function<void()> act)
{
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this, act = std::move(act)] {
        if (!ExchangeGuard::active())
            return;
        timer_.stop();
        acted_ = true;
        act();
    });
    timer_.start();
}
