#pragma once
// An operator for tests: records every question and notice, answers from a list.

#include "config/operator.h"

#include <QList>
#include <QString>
#include <QStringList>

struct AskedMessage {
    int kind = 0;
    QString line1;
    QString line2;
};

// A notice of a title and a list of lines.
struct ListNotice {
    QString title;
    QStringList lines;
};

class ScriptedOperator final : public Operator
{
public:
    // Installs itself for the lifetime of the object and puts the previous operator back.
    ScriptedOperator();
    ~ScriptedOperator() override;

    // Answers given in order; once the list is used up every answer is "Ні".
    void answer(std::initializer_list<bool> answers) { answers_ += answers; }

    bool ask(int kind, const QString& line1, const QString& line2) override;
    void busy(bool on) override;
    void notice(const QString& title, const QStringList& lines) override;

    QList<AskedMessage> asked;
    QList<ListNotice> notices; // kept apart from asked, which holds the message dialog's
    int busyDepth = 0;         // wait cursor nesting now
    int busyOnCount = 0;       // how often the wait cursor was switched on

private:
    QList<bool> answers_;
    Operator* previous_ = nullptr;
};
