#include "widgets/appoperator.h"

#include "widgets/question.h"

#include <QApplication>
#include <QCursor>

AppOperator::~AppOperator()
{
    while (busyDepth_ > 0)
        busy(false);
}

bool AppOperator::ask(int kind, const QString& line1, const QString& line2)
{
    // A question asked in the middle of a device operation gets the normal cursor back
    // while the operator answers.
    const bool waiting = busyDepth_ > 0;
    if (waiting)
        QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    MessageKind = kind;
    ShowMessage(line1, line2);
    if (waiting)
        QApplication::restoreOverrideCursor();
    return AnswerFlag == 1;
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
