#pragma once
// What every fuzz target shares: the Qt application object, created once, a temporary
// directory per process for the file readers, and the check that turns a broken round trip
// into a finding.

#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A broken expectation: say which and stop, so that libFuzzer keeps the input.
#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "FUZZ_CHECK failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__);    \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

inline void FuzzInitQt(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
}

// The temporary directory of this process.
inline const QString& FuzzDir()
{
    static QTemporaryDir dir;
    if (!dir.isValid())
        std::abort();
    static const QString path = dir.path();
    return path;
}

// Replaces the file name in the temporary directory with the bytes given.
inline QString FuzzWriteFile(const QString& name, const uint8_t* data, size_t size)
{
    const QString path = FuzzDir() + QLatin1Char('/') + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    if (f.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        std::abort();
    return path;
}
