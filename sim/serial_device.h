#pragma once
// The serial side of the simulated device: a pseudo-terminal pair whose slave end the tool
// opens as its COM port. A thread of its own reads the command frames 0x57 0xAB code data
// from the master end and answers them as the device's CH9121 controller would, so the
// timing of the answers does not depend on what the tool's thread is doing.
//
// Every switch (faults, mode switch, state) may be changed from any thread at any time; it
// applies from the next frame on.
//
// The device's data is a SimDevice of its own, or one shared with the UDP side.

#include "sim/device.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

// Faults the device can show, each switched on by its own field.
struct SimSerialFaults {
    bool silent = false;      // frames are taken but never answered
    int cutAfter = -1;        // an answer stops after this many bytes; -1 sends it whole
    int firstByteDelayMs = 0; // pause between the end of a frame and the first answer byte
    int byteGapMs = 0;        // pause before every later answer byte
    QByteArray extraBytes;    // sent right after every complete answer
    int restartSilenceMs = 0; // after the restart command, frames go unanswered this long
    QByteArray silentCodes;   // commands with these codes are taken but never answered
};

// One frame as the device took it.
struct SimFrame {
    quint8 code = 0;
    QByteArray data;
    bool answered = false;
    qint64 receivedNs = 0; // steady clock, nanoseconds, when its last byte was read
};

class SimSerialDevice : public SimDeviceSide
{
public:
    // The device's data is SimDeviceSide's: device(), state() and the setters.
    SimSerialDevice(); // a device of its own
    explicit SimSerialDevice(std::shared_ptr<SimDevice> device);
    ~SimSerialDevice(); // stops the thread and closes both ends
    SimSerialDevice(const SimSerialDevice&) = delete;
    SimSerialDevice& operator=(const SimSerialDevice&) = delete;

    // Creates the pseudo-terminal pair (slave in raw mode) and starts the thread. On failure
    // *error names the step and the system's reason.
    bool start(QString* error = nullptr);
    void stop();

    // The slave end's device path, for the tool to open; empty before start.
    QString slavePath() const;

    // The device end vanishes, as when a USB adapter is pulled: the master end is closed and
    // the slave end reports a hang-up from then on.
    void closeMaster();

    // The mode switch: out of the configuration position the device stays silent.
    void setConfigPosition(bool on);

    void setFaults(const SimSerialFaults& faults);
    SimSerialFaults faults() const;

    // Every frame taken since the start or the last clearLog, and the raw bytes behind them.
    QList<SimFrame> frames() const;
    int frameCount() const;
    QByteArray receivedBytes() const;
    void clearLog();
    // Blocks until at least count frames are in the log or timeoutMs passed.
    bool waitForFrames(int count, int timeoutMs) const;
    // Blocks until no answer is being sent (delays and gaps included) or timeoutMs passed.
    bool waitIdle(int timeoutMs) const;

private:
    void run();
    void takeBytes(const char* data, int n, qint64 nowNs);
    void answer(const SimFrame& frame);
    bool pause(int ms); // false when the thread is asked to stop
    bool send(const QByteArray& bytes);

    mutable std::mutex mutex_;
    mutable std::condition_variable framesChanged_;
    SimSerialFaults faults_;
    bool configPosition_ = true;
    QList<SimFrame> frames_;
    QByteArray received_;
    qint64 silentUntilNs_ = 0;
    bool answering_ = false;

    // Parser of the incoming stream; touched by the thread only.
    QByteArray pending_;
    qint64 lastByteNs_ = 0;

    int master_ = -1;
    int slaveKeeper_ = -1; // holds the slave open so the master never sees a hang-up
    int wake_[2] = {-1, -1};
    QString slavePath_;
    std::thread thread_;
    bool stopping_ = false;       // guarded by mutex_
    bool closeRequested_ = false; // guarded by mutex_
};
