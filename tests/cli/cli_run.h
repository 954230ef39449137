#pragma once
// qel2_cli run as a process: its exit status and what it printed.

#include <QProcess>
#include <QString>
#include <QStringList>

struct CliRun {
    int exitCode = -1; // -1: it did not finish in time; -2: it crashed
    QString out;
    QString err;
};

inline CliRun RunCli(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(QEL2_CLI_PATH), args);
    CliRun r;
    if (!p.waitForFinished(60000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// The last line of a run's output that is not empty; empty when there is none.
inline QString LastLine(const QString& text)
{
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.last();
}
