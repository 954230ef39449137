#pragma once
// Access to the PC's serial ports: opening a numbered COM port with the line settings the
// link needs, its read time-outs and error state, and the clock the exchange is timed with.
//
// A COM number n (1..255) names a device. On Linux an entry COMn=<path> in section
// [COM_PORTS] of the settings file (Program().settingsPath; only read here) wins; otherwise
// COM1..32 are /dev/ttyS0..31, COM33..64 /dev/ttyUSB0..31 and COM65..96 /dev/ttyACM0..31.
// On Windows COMn is \\.\COMn.

#include <QSerialPort>
#include <QString>

#include <array>
#include <memory>

// The PC port's own parity and stop-bits codes (not the device's port settings codes).
enum ComParityCodes { ComParityNone = 0, ComParityEven = 1, ComParityOdd = 2 };
enum ComStopBitsCodes { ComOneStop = 0, ComOneAndHalfStop = 1, ComTwoStop = 2 };

constexpr qint32 kComMinRate = 110;
constexpr qint32 kComMaxRate = 256000;
// The read time-outs that make every read return at once with what has arrived.
constexpr quint32 kComReadIntervalImmediate = 0xFFFFFFFFu;

// Why a port could not be opened, for the second line of the operator's message.
struct ComOpenError {
    QString device; // the device path tried; empty when the number maps to no device
    QString reason; // the system's reason, or what was refused
    // On a permission error: the group that owns the device (usually "dialout"); the
    // user has to be a member of it.
    QString group;
    QSerialPort::SerialPortError error = QSerialPort::NoError;
    bool busy = false; // another program holds the port

    // One line: the device and the reason, and for a permission error which group the
    // user must belong to.
    QString text() const;
};

// The line settings OpenComPort asks the driver for. refused is non-empty when the request
// asks for what the serial drivers here cannot do (4 data bits, one and a half stop bits).
struct ComLineSettings {
    qint32 baudRate = 9600;
    int dataBits = 8;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    QString refused;
};
ComLineSettings ComLineFor(qint32 baudRate, int dataBits, int parityCode, int stopBitsCode);

constexpr int kComPortCount = 255; // COM numbers run from 1 to this

// The [COM_PORTS] entries of a settings file, read once, for callers that look up many
// numbers (the connection dialog checks all 255 in one scan). A value: later changes to the
// file are not seen.
class ComPortMap
{
public:
    ComPortMap() = default; // maps nothing

    // The entries COM1..COM255 of [COM_PORTS] in the file at path, matched as every key of
    // the settings is (ignoring case, the first match wins). A path that is empty, missing or
    // cannot be read gives a map of nothing.
    static ComPortMap load(const QString& settingsPath);

    // The path mapped to COM n; an empty text when n is outside 1..255 or not mapped.
    QString device(int n) const;

private:
    std::array<QString, kComPortCount> paths_;
};

// The device path of COM port n, or an empty text when n names no device. The one-argument
// form reads the map from Program().settingsPath for this one lookup.
QString ComPortDevice(int n, const ComPortMap& map);
QString ComPortDevice(int n);

// Whether COM port n is there to be chosen: its device exists, and opening it succeeds or
// fails only because it is busy or not permitted. The one-argument form reads the map from
// Program().settingsPath for this one lookup.
bool ComPortPresent(int n, const ComPortMap& map);
bool ComPortPresent(int n);

// Opens COM port n for reading and writing, exclusively, with:
//   baud rate limited to 110..256000; data bits limited to 4..8; parity code 0 none, 1 even,
//   2 odd, any other none; stop bits code 0 one, 1 one and a half, 2 two, any other one;
//   DTR and RTS set as the flags say (best effort: a pseudo-terminal or an adapter without
//   modem lines refuses them, which is not an error); inQueue bytes of read buffer (0: no
//   limit). The output queue has no limit on this platform; a size below 0 is refused.
// The serial drivers here cannot send 4 data bits or one and a half stop bits; such a
// request fails with that reason rather than opening the line with other settings.
// Returns the open port, or none with the reason in *error.
std::unique_ptr<QSerialPort> OpenComPort(int n, qint32 baudRate, int dataBits, int parityCode,
                                         int stopBitsCode, int inQueue, int outQueue, bool dtr,
                                         bool rts, ComOpenError* error = nullptr);

// The read time-outs of the port. Reads of this port never wait: they return at once with
// what has arrived, which is the setting "interval 0xFFFFFFFF, multiplier 0, constant 0".
// Returns true for that setting on an open port; any other setting cannot be honoured and
// gives false.
bool SetComTimeouts(QSerialPort* port, quint32 readInterval, quint32 readMultiplier,
                    quint32 readConstant);

// Clears the port's error state. False when there is no open port.
bool ClearComError(QSerialPort* port);

// True when the port can no longer be used: it is closed, the system reports the resource
// gone, or the line hung up (an adapter pulled, the far end of a pseudo-terminal closed).
bool ComPortLost(QSerialPort* port);

// Ticks per second of the clock the exchanges are timed with (QElapsedTimer, nanoseconds).
quint64 CounterFrequency();
