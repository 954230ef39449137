#pragma once
// What the benchmarks share: an operator that answers "Ні" to every question, and the CPU
// time this process has used.

#include "config/operator.h"

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
