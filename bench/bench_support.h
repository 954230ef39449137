#pragma once
// What the benchmarks share: an operator that answers "Ні" to every question, the CPU time
// this process has used, and a free UDP port.

#include "config/operator.h"

#include <QUdpSocket>

#include <sys/resource.h>

class NoOperator final : public Operator
{
public:
    bool ask(int, const QString&, const QString&) override { return false; }
    void busy(bool) override {}
};

// User and system time of this process, in seconds.
inline double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A UDP port free on every address now, or 0.
inline quint16 freePort()
{
    QUdpSocket probe;
    return probe.bind(QHostAddress::AnyIPv4, 0) ? probe.localPort() : 0;
}
