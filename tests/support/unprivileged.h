#pragma once
// Checks that need file permissions enforced cannot run as root, which ignores them, and CI
// runs as root. Such a test starts with RUN_UNPRIVILEGED(): as root it runs this same test
// again in a child process as the user nobody (from a copy of the test program that nobody
// may start), takes the child's outcome as its own and returns; as any other user it goes on
// with the check itself. When no child can be started as nobody the test says so with
// GTEST_SKIP and the reason; it never passes without the check having run.

#include <QString>

#include <gtest/gtest.h>

struct UnprivilegedRun {
    bool done = false;  // the test has run in the child (or cannot run): the caller returns
    QString skipReason; // why the test could not run at all
};

UnprivilegedRun RerunUnprivileged();

#define RUN_UNPRIVILEGED()                                                                         \
    do {                                                                                           \
        const UnprivilegedRun unprivileged_ = RerunUnprivileged();                                 \
        if (!unprivileged_.skipReason.isEmpty())                                                   \
            GTEST_SKIP() << unprivileged_.skipReason.toStdString();                                \
        if (unprivileged_.done)                                                                    \
            return;                                                                                \
    } while (false)
