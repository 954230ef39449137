#pragma once
// Paths that the file readers must refuse without hanging or filling memory, and the largest
// file they must still read: /dev/zero, a FIFO, a directory, a file one byte above the size
// limit of the INI layer, and one exactly at it.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

struct OddPath {
    const char* what;
    QString path;
    QString reason; // the reason the readers give, the second line of their error; empty
                    // for the file at the limit, which is read
};

class OddPaths
{
public:
    // The two large files start with head; comment lines fill them up to their size.
    explicit OddPaths(const QByteArray& head);
    // Lets go of the FIFO; see fifoWriter_.
    ~OddPaths();
    OddPaths(const OddPaths&) = delete;
    OddPaths& operator=(const OddPaths&) = delete;

    const QList<OddPath>& rows() const { return rows_; }

private:
    QTemporaryDir dir_;
    QString fifo_;
    QList<OddPath> rows_;
    // Opens the FIFO for writing again and again, so that a reader that opens it by mistake
    // meets a writer and then an end of file instead of waiting forever; the test then fails
    // on what was read and never hangs.
    std::atomic<bool> stop_{false};
    std::thread fifoWriter_;
};

// head followed by comment lines, size bytes in all (head must leave 64 bytes free).
QByteArray PaddedFile(const QByteArray& head, qint64 size);
