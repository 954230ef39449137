#include "widgets/appoperator.h"

#include "widgets/noticelist.h"
#include "widgets/question.h"

#include <QApplication>
#include <QCursor>

AppOperator::~AppOperator()
{
    while (busyDepth_ > 0)
        busy(false);
}

namespace
{

// A message shown in the middle of a device operation gets the normal cursor back while the
// operator reads it.
class ArrowCursor
{
public:
    explicit ArrowCursor(bool waiting) : waiting_(waiting)
    {
        if (waiting_)
            QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    }
    ~ArrowCursor()
    {
        if (waiting_)
            QApplication::restoreOverrideCursor();
    }
    ArrowCursor(const ArrowCursor&) = delete;
    ArrowCursor& operator=(const ArrowCursor&) = delete;

private:
    bool waiting_;
};

} // namespace

bool AppOperator::ask(int kind, const QString& line1, const QString& line2)
{
    const ArrowCursor arrow(busyDepth_ > 0);
    MessageKind = kind;
    ShowMessage(line1, line2);
    return AnswerFlag == 1;
}

void AppOperator::notice(const QString& title, const QStringList& lines)
{
    const ArrowCursor arrow(busyDepth_ > 0);
    ShowNoticeList(title, lines);
}

void AppOperator::busy(bool on)
{
    if (on) {
        if (busyDepth_++ == 0)
            QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    } else if (busyDepth_ > 0) {
        if (--busyDepth_ == 0)
            QApplication::restoreOverrideCursor();
    }
}
