#pragma once
// What both sides of the simulated device need of the system: the clock their logs use, the
// reason of a failed call, and closing a descriptor once.

#include <QString>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <unistd.h>

// The steady clock in nanoseconds.
inline qint64 SimNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// "step: the system's text for errno".
inline QString SimSystemReason(const char* step)
{
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(step),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

// Closes fd when it is open and marks it closed.
inline void SimCloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}
