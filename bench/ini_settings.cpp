// Reading and writing the connection settings file at its largest: 200 abonents and blank
// lines between their sections up to a little below the 4 MiB the INI layer reads. One run
// reads the file (ReadConnSettings), changes the book and writes it (WriteConnSettings),
// which rewrites every abonent section. The file is put back before each run.
// The last line reads "ini_rw_ms=<median of the runs>".

#include "config/profile.h"
#include "config/rd_wr_ini.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{

QByteArray settingsFile()
{
    QByteArray head = "[CURR_PAR]\r\nConn_Prz=1\r\n"
                      "[DIR_CONN_PAR]\r\nCOMPort=1\r\nRate=9600\r\nRepeat=1\r\nTimeOut=100\r\n"
                      "WaitTime=2\r\n"
                      "[ETHERNET_CONN_PAR]\r\nRepeat=10\r\n"
                      "[ABONENTS_CURR_PAR]\r\nusers_num=200\r\nuser_index=0\r\nsort_prz=0\r\n";
    QList<QByteArray> sections;
    qsizetype size = head.size();
    for (int k = 1; k <= kMaxAbonents; ++k) {
        sections.append("[ETHERNET_ABONENT_" + QByteArray::number(k) + "]\r\nuser_name=Abonent " +
                        QByteArray::number(k) + "\r\nip_adr=" + QByteArray::number(167772160 + k) +
                        "\r\nport=50000\r\n");
        size += sections.last().size();
    }
    // Room for the names of the change to grow a little.
    const qsizetype blankLines = (kMaxIniFileSize - 16 * 1024 - size) / 2 / kMaxAbonents;
    QByteArray file = head;
    for (const QByteArray& s : sections)
        file += s + QByteArray("\r\n").repeated(blankLines);
    return file;
}

bool putFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("qel_conn.ini"));
    const QByteArray original = settingsFile();

    const int kRuns = 15;
    std::vector<double> readMs, writeMs, totalMs;
    for (int run = 0; run < kRuns; ++run) {
        if (!putFile(path, original)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        ConnSettingsState state;
        QElapsedTimer t;
        t.start();
        ReadConnSettings(state, path);
        const qint64 read = t.nsecsElapsed();
        AbonentBook& book = state.cur.book;
        book.user_index = quint8(run % kMaxAbonents);
        SetAbonentName(book.abonents[size_t(run % kMaxAbonents)],
                       "Renamed abonent " + QByteArray::number(run));
        QString error;
        const bool written = WriteConnSettings(state, path, &error);
        const qint64 total = t.nsecsElapsed();
        if (!written || state.cur.book.users_num != kMaxAbonents) {
            std::fprintf(stderr, "run %d failed: %s\n", run, qPrintable(error));
            return 1;
        }
        readMs.push_back(double(read) / 1e6);
        writeMs.push_back(double(total - read) / 1e6);
        totalMs.push_back(double(total) / 1e6);
    }
    std::printf("file_bytes=%lld abonents=%d runs=%d\n", static_cast<long long>(original.size()),
                kMaxAbonents, kRuns);
    std::printf("read_ms median=%.2f write_ms median=%.2f total_ms min=%.2f max=%.2f\n",
                median(readMs), median(writeMs), *std::min_element(totalMs.begin(), totalMs.end()),
                *std::max_element(totalMs.begin(), totalMs.end()));
    std::printf("ini_rw_ms=%.2f\n", median(totalMs));
    return 0;
}
