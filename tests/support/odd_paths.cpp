#include "support/odd_paths.h"

#include "config/profile.h"
#include "support/file_bytes.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QByteArray PaddedFile(const QByteArray& head, qint64 size)
{
    const QByteArray line = "; " + QByteArray(60, '.') + "\r\n";
    QByteArray out = head;
    out.reserve(qsizetype(size));
    while (size - out.size() >= 2 * line.size())
        out += line;
    // The rest as one line of its own, at least as long as the others.
    out += "; " + QByteArray(qsizetype(size) - out.size() - 4, '.') + "\r\n";
    return out;
}

OddPaths::OddPaths(const QByteArray& head)
{
    const QString notRegular = QStringLiteral("not a regular file");
    fifo_ = dir_.filePath(QStringLiteral("fifo.ini"));
    if (::mkfifo(QFile::encodeName(fifo_).constData(), 0600) != 0)
        ADD_FAILURE() << "cannot make a FIFO at " << fifo_.toStdString();
    fifoWriter_ = std::thread([this] {
        const QByteArray name = QFile::encodeName(fifo_);
        while (!stop_) {
            const int fd = ::open(name.constData(), O_WRONLY); // waits for a reader
            if (fd < 0)
                return;
            ::close(fd);
        }
    });
    const QString directory = dir_.filePath(QStringLiteral("dir.ini"));
    QDir().mkpath(directory);
    const QString tooLarge = dir_.filePath(QStringLiteral("too_large.ini"));
    PutFile(tooLarge, PaddedFile(head, kMaxIniFileSize + 1));
    const QString atLimit = dir_.filePath(QStringLiteral("at_limit.ini"));
    PutFile(atLimit, PaddedFile(head, kMaxIniFileSize));

    rows_ = {
        {"/dev/zero, a device without end", QStringLiteral("/dev/zero"), notRegular},
        {"a FIFO", fifo_, notRegular},
        {"a directory", directory, notRegular},
        {"a file one byte above the limit", tooLarge,
         QStringLiteral("larger than %1 bytes").arg(kMaxIniFileSize)},
        {"a file exactly at the limit", atLimit, QString()},
    };
}

OddPaths::~OddPaths()
{
    stop_ = true;
    // A reader of our own lets a writer that waits to open the FIFO go on; it stays open
    // until the writer has seen stop_, so the writer cannot wait again.
    const int fd = ::open(QFile::encodeName(fifo_).constData(), O_RDONLY | O_NONBLOCK);
    fifoWriter_.join();
    if (fd >= 0)
        ::close(fd);
}
