#pragma once
// What the program's windows do while an exchange waits on the device.
//
// An exchange hands events to the toolkit between its polls, so that windows repaint and
// "Обмін..." shows. That must not let the operator's clicks through: a menu item could start
// a second exchange on the same link, close the port under the running one, or close the
// window that owns the link context. Every exchange, serial or Ethernet, runs under an
// ExchangeGuard, and while one lives:
//  - the link context is marked busy (exchangeRunning), so a second exchange on it is refused
//    and the link is not released under it;
//  - mouse, keyboard, wheel, touch, shortcut, context-menu and drag events are dropped,
//    whatever window they are meant for; painting, timers and every other event are handled
//    as usual, so the windows repaint and the status panel updates;
//  - the operator's request to close a window (its close box) is held back. When the
//    outermost guard ends, before the code that ran the exchange goes on, each held request
//    is carried out. A window that cannot close at that point (the main window while one of
//    its menu handlers still runs) refuses the close and carries it out itself later. A
//    close that code asks for (close(), or a dialog's accept or reject) goes through.
// While the operator answers a question asked from within the exchange (the retry question),
// ExchangeGuard::Question lets input and close requests through again: the question is
// modal, so the toolkit keeps both from every other window, and its own close box answers it.

struct LinkContext;

class ExchangeGuard
{
public:
    explicit ExchangeGuard(LinkContext& ctx);
    ~ExchangeGuard();
    ExchangeGuard(const ExchangeGuard&) = delete;
    ExchangeGuard& operator=(const ExchangeGuard&) = delete;

    // True while an exchange runs on any link context.
    static bool active();

    // Handles the events that are waiting, as an exchange does between its polls. While a
    // guard lives the operator's input among them is dropped.
    static void handleEvents();
    // Waits ms milliseconds, handling events every millisecond or so and sleeping between,
    // so the wait keeps the windows painted without burning a processor core.
    static void pause(int ms);

    // Lets the operator's input through for the lifetime of the object: a question that an
    // exchange asks.
    class Question
    {
    public:
        Question();
        ~Question();
        Question(const Question&) = delete;
        Question& operator=(const Question&) = delete;
    };

private:
    LinkContext& ctx_;
};
