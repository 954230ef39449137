#pragma once
// File dialogs for tests: record every request, answer from a list.

#include "config/cnf_file.h"

#include <QList>

class ScriptedDialogs final : public FileDialogs
{
public:
    // An answer that confirms whatever name the dialog offers.
    static QString offered() { return QStringLiteral("<offered>"); }

    // Answers given in order, open and save alike; an empty answer, and every answer once the
    // list is used up, cancels.
    void answer(std::initializer_list<QString> answers) { answers_ += answers; }

    QString openFile(const FileDialogRequest& request) override { return next(request); }
    QString saveFile(const FileDialogRequest& request) override { return next(request); }

    QList<FileDialogRequest> requests;

private:
    QString next(const FileDialogRequest& request)
    {
        requests.append(request);
        const QString a = answers_.isEmpty() ? QString() : answers_.takeFirst();
        return a == offered() ? request.fileName : a;
    }

    QList<QString> answers_;
};
