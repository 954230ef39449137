#include "link/comportfunctions.h"

#include "config/profile.h"
#include "config/program.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace
{

// The group that owns the device, or an empty text when it cannot be told.
QString owningGroup(const QString& device)
{
#ifdef Q_OS_UNIX
    struct stat st {
    };
    if (::stat(QFile::encodeName(device).constData(), &st) != 0)
        return QString();
    if (const group* g = ::getgrgid(st.st_gid))
        return QString::fromLocal8Bit(g->gr_name);
    return QString::number(st.st_gid);
#else
    Q_UNUSED(device);
    return QString();
#endif
}

// Whether this user may read and write the device at all.
bool accessible(const QString& device)
{
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0;
#else
    Q_UNUSED(device);
    return true;
#endif
}

void fail(ComOpenError* error, const QString& device, const QString& reason,
          QSerialPort::SerialPortError code)
{
    if (!error)
        return;
    *error = ComOpenError();
    error->device = device;
    error->reason = reason;
    error->error = code;
}

// Modem lines: a port without them refuses the request, which is not an error.
void setModemLine(QSerialPort& port, bool dtr, bool on)
{
    if (dtr)
        port.setDataTerminalReady(on);
    else
        port.setRequestToSend(on);
    port.clearError();
}

} // namespace

QString ComOpenError::text() const
{
    QString line = device.isEmpty() ? reason : device + QStringLiteral(": ") + reason;
    if (!group.isEmpty())
        line += QStringLiteral(". Користувач має входити до групи %1, якій належить пристрій")
                    .arg(group);
    return line;
}

ComLineSettings ComLineFor(qint32 baudRate, int dataBits, int parityCode, int stopBitsCode)
{
    ComLineSettings line;
    line.baudRate = qBound(kComMinRate, baudRate, kComMaxRate);
    line.dataBits = qBound(4, dataBits, 8);
    line.parity = parityCode == ComParityEven  ? QSerialPort::EvenParity
                  : parityCode == ComParityOdd ? QSerialPort::OddParity
                                               : QSerialPort::NoParity;
    line.stopBits = stopBitsCode == ComTwoStop ? QSerialPort::TwoStop : QSerialPort::OneStop;
    if (line.dataBits == 4)
        line.refused = QStringLiteral("4 біти даних не підтримуються драйвером порту");
    else if (stopBitsCode == ComOneAndHalfStop)
        line.refused = QStringLiteral("1,5 стопового біта не підтримуються драйвером порту");
    return line;
}

ComPortMap ComPortMap::load(const QString& settingsPath)
{
    ComPortMap map;
    IniFile ini;
    if (settingsPath.isEmpty() || !ini.load(settingsPath))
        return map;
    for (int n = 1; n <= kComPortCount; ++n) {
        const auto path = ini.value("COM_PORTS", "COM" + QByteArray::number(n));
        if (path && !path->isEmpty())
            map.paths_[size_t(n - 1)] = QFile::decodeName(*path);
    }
    return map;
}

QString ComPortMap::device(int n) const
{
    if (n < 1 || n > kComPortCount)
        return QString();
    return paths_[size_t(n - 1)];
}

QString ComPortDevice(int n, const ComPortMap& map)
{
    if (n < 1 || n > kComPortCount)
        return QString();
#ifdef Q_OS_WIN
    Q_UNUSED(map);
    return QStringLiteral("\\\\.\\COM%1").arg(n);
#else
    const QString mapped = map.device(n);
    if (!mapped.isEmpty())
        return mapped;
    if (n <= 32)
        return QStringLiteral("/dev/ttyS%1").arg(n - 1);
    if (n <= 64)
        return QStringLiteral("/dev/ttyUSB%1").arg(n - 33);
    if (n <= 96)
        return QStringLiteral("/dev/ttyACM%1").arg(n - 65);
    return QString();
#endif
}

QString ComPortDevice(int n)
{
    return ComPortDevice(n, ComPortMap::load(Program().settingsPath));
}

bool ComPortPresent(int n, const ComPortMap& map)
{
    const QString device = ComPortDevice(n, map);
    if (device.isEmpty())
        return false;
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(device);
    struct stat st {
    };
    if (::stat(path.constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    // Busy (held exclusively by another program) or not permitted still counts as there;
    // a node without hardware behind it fails otherwise (EIO, ENXIO, ENODEV).
    return errno == EBUSY || errno == EACCES || errno == EPERM;
#else
    QSerialPort port;
    port.setPortName(device);
    if (port.open(QIODevice::ReadWrite)) {
        port.close();
        return true;
    }
    return port.error() == QSerialPort::PermissionError;
#endif
}

bool ComPortPresent(int n)
{
    return ComPortPresent(n, ComPortMap::load(Program().settingsPath));
}

std::unique_ptr<QSerialPort> OpenComPort(int n, qint32 baudRate, int dataBits, int parityCode,
                                         int stopBitsCode, int inQueue, int outQueue, bool dtr,
                                         bool rts, ComOpenError* error)
{
    const QString device = ComPortDevice(n);
    if (device.isEmpty()) {
        fail(error, device,
             QStringLiteral("COM%1 не відповідає жоден пристрій (див. розділ [COM_PORTS] "
                            "файлу qel_conn.ini)")
                 .arg(n),
             QSerialPort::DeviceNotFoundError);
        return nullptr;
    }

    const ComLineSettings line = ComLineFor(baudRate, dataBits, parityCode, stopBitsCode);
    if (!line.refused.isEmpty()) {
        fail(error, device, line.refused, QSerialPort::UnsupportedOperationError);
        return nullptr;
    }
    if (inQueue < 0 || outQueue < 0) {
        fail(error, device, QStringLiteral("неправильний розмір черги порту"),
             QSerialPort::UnsupportedOperationError);
        return nullptr;
    }

    auto port = std::make_unique<QSerialPort>();
    port->setPortName(device);
    if (!port->open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError code = port->error();
        fail(error, device, port->errorString(), code);
        if (error && code == QSerialPort::PermissionError) {
            // Either another program holds the port (its lock or exclusive mode), or this
            // user may not use the device at all.
            if (accessible(device)) {
                error->busy = true;
                error->reason =
                    QStringLiteral("порт зайнятий іншою програмою (%1)").arg(port->errorString());
            } else {
                error->group = owningGroup(device);
            }
        }
        return nullptr;
    }

    const bool applied = port->setBaudRate(line.baudRate) &&
                         port->setDataBits(QSerialPort::DataBits(line.dataBits)) &&
                         port->setParity(line.parity) && port->setStopBits(line.stopBits) &&
                         port->setFlowControl(QSerialPort::NoFlowControl);
    if (!applied) {
        fail(error, device, port->errorString(), port->error());
        port->close();
        return nullptr;
    }
    port->setReadBufferSize(inQueue);
    setModemLine(*port, true, dtr);
    setModemLine(*port, false, rts);
    return port;
}

bool SetComTimeouts(QSerialPort* port, quint32 readInterval, quint32 readMultiplier,
                    quint32 readConstant)
{
    if (!port || !port->isOpen())
        return false;
    return readInterval == kComReadIntervalImmediate && readMultiplier == 0 && readConstant == 0;
}

bool ClearComError(QSerialPort* port)
{
    if (!port || !port->isOpen())
        return false;
    port->clearError();
    return true;
}

bool ComPortLost(QSerialPort* port)
{
    if (!port || !port->isOpen())
        return true;
    if (port->error() == QSerialPort::ResourceError)
        return true;
#ifdef Q_OS_UNIX
    pollfd p = {int(port->handle()), POLLIN, 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
        return true;
#endif
    return false;
}

quint64 CounterFrequency()
{
    return 1'000'000'000ull; // QElapsedTimer counts nanoseconds
}
