#pragma once
// The network side of the simulated device: a UDP socket on a loopback address that answers
// the Ethernet configuration datagrams (sim/datagrams.h) as the device's CH9121 controller
// would. A thread of its own takes the requests and sends the replies to the requester's
// address at the reply port, so the caller needs no event loop.
//
// The device lives on 127.0.0.0/8 only and never sends a datagram outside it: it does not
// move to or answer another address, and listens on none but its own and, for broadcasts,
// 0.0.0.0. After a write that changes ip_adr it moves to the new address, unless that
// address is outside 127.0.0.0/8, is 127.255.255.255, or has another socket bound at the
// device port; then it stays where it is and says so on stderr.
//
// Broadcasts: on Linux a datagram to 127.255.255.255 reaches only sockets bound to 0.0.0.0
// at its port, never one bound to 127.0.0.x. So beside its own socket the device listens on
// 0.0.0.0 at the device port too, and takes there only what was sent to 127.255.255.255;
// a unicast that lands there (sent to a loopback address nobody is bound to) is dropped. Both
// sockets are bound with SO_REUSEADDR, so several devices, each on its own address, share
// one device port and each gets every broadcast. A broadcast request is answered as a
// unicast one, faults included, from the device's own socket.
//
// Every switch (faults, reply port, state) may be changed from any thread at any time; it
// applies from the next request on.

#include "config/ipaddr.h"
#include "sim/datagrams.h"
#include "sim/device.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

constexpr quint16 kSimDevicePort = 50000;
constexpr quint16 kSimReplyPort = 60000;
// The broadcast address of the loopback network, the only one the device answers broadcasts
// on.
constexpr IpAddress kSimLoopbackBroadcast{{127, 255, 255, 255}};

// Faults the device can show, each switched on by its own field.
struct SimUdpFaults {
    bool silent = false;              // requests are taken but neither carried out nor answered
    int replySize = kSimDatagramSize; // replies are cut, or padded with zeros, to this size
    int replyDelayMs = 0;             // replies leave this long after their request; requests
                                      // that come meanwhile are taken and answered in turn
    IpAddress replyFrom{};            // not 0.0.0.0: replies leave from a second socket on this
                                      // loopback address instead of the device's own
    bool duplicate = false;           // every reply is sent twice
    int restartSilenceMs = 0;         // after the answer to a write leaves, requests are taken
                                      // but neither carried out nor answered this long, as
                                      // the device restarts; requests that come while that
                                      // answer waits for its delay go unanswered too, and
                                      // switching the fault off ends a restart at once
    bool badSignature = false;        // replies carry bytes 0 to 15 inverted (every byte XOR
                                      // 0xFF), a signature nobody knows; the rest is the same
};

// One datagram as the device took it.
struct SimDatagram {
    QByteArray bytes;     // the whole datagram
    QByteArray signature; // bytes 0 to 15, or fewer when the datagram is shorter
    int command = -1;     // byte 16; -1 when the datagram is shorter
    SimRequest request = SimRequest::Unknown; // Unknown too when it was not carried out
    IpAddress sender{};
    quint16 senderPort = 0;
    bool answered = false;
    bool broadcast = false; // it was sent to 127.255.255.255
    qint64 receivedNs = 0;  // steady clock, nanoseconds
    qint64 repliedNs = 0;   // steady clock, when the (first) reply left; 0 until then
    quint64 seq = 0;        // counts the datagrams from the start; clearLog does not reset it
};

class SimUdpDevice : public SimDeviceSide
{
public:
    // The device's data is SimDeviceSide's: device(), state() and the setters.
    SimUdpDevice(); // a device of its own
    explicit SimUdpDevice(std::shared_ptr<SimDevice> device);
    ~SimUdpDevice(); // stops the thread and closes the sockets
    SimUdpDevice(const SimUdpDevice&) = delete;
    SimUdpDevice& operator=(const SimUdpDevice&) = delete;

    // Where the device listens (127.0.0.2 and port 50000 unless set) and the port it answers
    // to (60000 unless set). The address and the device port are set before start: false
    // while running, and false for an address outside 127.0.0.0/8 or for 127.255.255.255,
    // which is where broadcasts go. Device port 0 lets the system choose one; devicePort()
    // tells which after start.
    bool setAddress(const IpAddress& address);
    bool setDevicePort(quint16 port);
    void setReplyPort(quint16 port);
    // Whether the device takes broadcasts to 127.255.255.255 at its port (on unless set);
    // set before start, false while running.
    bool setAnswerBroadcasts(bool on);
    bool answersBroadcasts() const;

    // Binds the sockets and starts the thread. On failure *error names the step and the
    // system's reason. It fails too when another socket is bound to the device's address at
    // the device port, as two devices cannot share an address. With device port 0 and
    // broadcasts on, the port chosen is one that no socket of any address uses.
    bool start(QString* error = nullptr);
    void stop(); // replies still waiting for their delay are dropped

    IpAddress address() const; // where the device listens now; it moves after a write
    quint16 devicePort() const;
    quint16 replyPort() const;

    void setFaults(const SimUdpFaults& faults);
    SimUdpFaults faults() const;

    // Every datagram taken since the start or the last clearLog.
    QList<SimDatagram> requests() const;
    int requestCount() const;
    // The last write request carried out, whole; empty when there was none.
    QByteArray lastWrite() const;
    void clearLog();
    // Blocks until at least count datagrams are in the log or timeoutMs passed.
    bool waitForRequests(int count, int timeoutMs) const;
    // Blocks until the replies to at least count datagrams of the log have left, or timeoutMs
    // passed.
    bool waitForReplies(int count, int timeoutMs) const;

private:
    struct Outgoing {
        qint64 dueNs = 0;
        QByteArray bytes;
        IpAddress to{};
        quint16 toPort = 0;
        IpAddress from{}; // 0.0.0.0: the device's own socket
        int copies = 1;
        quint64 seq = 0; // of the request in the log
    };

    void run();
    // Takes every datagram waiting on the device's own socket, or on the broadcast socket
    // those of them sent to 127.255.255.255.
    void takeWaiting(bool broadcast, std::vector<char>& buf);
    void take(const QByteArray& datagram, const IpAddress& sender, quint16 senderPort,
              bool broadcast);
    void sendDue();
    void send(const Outgoing& out);
    // Moves the socket to address when that is another loopback address, sending what is
    // due, the answer to the write included, on the way.
    void moveTo(const IpAddress& address);
    int socketFrom(const IpAddress& from);
    // Whether a request taken at nowNs comes while the device restarts after a write; switching
    // the fault off ends the restart at once. Called with mutex_ held.
    bool restarting(const SimUdpFaults& faults, qint64 nowNs) const;
    qint64 nextDueNs() const;

    mutable std::mutex mutex_;
    mutable std::condition_variable requestsChanged_;
    SimUdpFaults faults_;
    IpAddress address_{{127, 0, 0, 2}};
    quint16 devicePort_ = kSimDevicePort;
    quint16 replyPort_ = kSimReplyPort;
    bool answerBroadcasts_ = true;
    QList<SimDatagram> requests_;
    QByteArray lastWrite_;
    quint64 nextSeq_ = 0;
    qint64 restartEndNs_ = 0; // steady clock, when the restart after the last write ends

    // Touched by the thread only while it runs.
    int socket_ = -1;
    int broadcastSocket_ = -1; // on 0.0.0.0 at the device port, while broadcasts are taken
    int otherSocket_ = -1;     // bound to otherFrom_, for the replyFrom fault
    IpAddress otherFrom_{};
    std::vector<Outgoing> outgoing_;

    int wake_[2] = {-1, -1};
    std::thread thread_;
    bool stopping_ = false; // guarded by mutex_
};
