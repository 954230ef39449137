#include "link/exchangeguard.h"

#include "link/qelbox.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QList>
#include <QPointer>
#include <QThread>

#include <utility>

namespace
{

// The events by which the operator acts on a window.
bool isOperatorInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::NonClientAreaMouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::NativeGesture:
    case QEvent::Gesture:
    case QEvent::GestureOverride:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

// The application-wide filter behind the guards, installed while the outermost one lives.
class InputBlock final : public QObject
{
public:
    int guards = 0;    // guards alive, nested ones included
    int questions = 0; // questions being answered from within an exchange
    QList<QPointer<QObject>> heldCloses;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (questions > 0)
            return false;
        switch (event->type()) {
        case QEvent::Close:
            // The window system's request (the close box) reaches the toolkit's window first
            // and the widget next, where it is held. A close that code asks for is the
            // code's own business and goes through.
            if (!watched->isWidgetType() || !event->spontaneous())
                return false;
            event->ignore();
            if (!heldCloses.contains(watched))
                heldCloses.append(watched);
            return true;
        case QEvent::ShortcutOverride:
            // Taken as the focus widget's own key, so no shortcut fires; the key press that
            // follows is dropped below.
            event->accept();
            return true;
        default:
            return isOperatorInput(event->type());
        }
    }
};

InputBlock& block()
{
    static InputBlock instance;
    return instance;
}

} // namespace

ExchangeGuard::ExchangeGuard(LinkContext& ctx) : ctx_(ctx)
{
    ctx_.exchangeRunning = true;
    InputBlock& b = block();
    if (b.guards++ == 0) {
        if (QCoreApplication* app = QCoreApplication::instance())
            app->installEventFilter(&b);
    }
}

ExchangeGuard::~ExchangeGuard()
{
    ctx_.exchangeRunning = false;
    InputBlock& b = block();
    if (--b.guards > 0)
        return;
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(&b);
    // Carried out now, while the caller has not yet acted on the exchange's outcome, so a
    // dialog that was asked to close does not go on as if it were still open.
    const QList<QPointer<QObject>> held = std::exchange(b.heldCloses, {});
    for (const QPointer<QObject>& window : held) {
        if (window)
            QMetaObject::invokeMethod(window, "close");
    }
}

bool ExchangeGuard::active()
{
    return block().guards > 0;
}

void ExchangeGuard::handleEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

void ExchangeGuard::pause(int ms)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        handleEvents();
        const qint64 left = qint64(ms) - clock.elapsed();
        if (left <= 0)
            return;
        QThread::msleep(quint64(qMin<qint64>(left, 1)));
    }
}

ExchangeGuard::Question::Question()
{
    ++block().questions;
}

ExchangeGuard::Question::~Question()
{
    --block().questions;
}
