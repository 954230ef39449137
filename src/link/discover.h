#pragma once
// Finding devices on the network: the two connection commands go out as broadcasts on the
// chosen interfaces, every device that answers is asked for its configuration by a read
// addressed to its MAC (a broadcast too, so a device configured for another subnet still
// answers), and each device is listed once, by MAC. The search runs on the event loop, so
// the caller's windows stay responsive; it ends when its window of time is over, or when
// stopped. It also keeps what it tried, so that a search that finds nothing can say why.

#include "config/devconfig.h"
#include "link/qelbox.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <array>
#include <memory>
#include <vector>

class QUdpSocket;

// An IPv4 address of an interface as the search sees it.
struct InterfaceAddress {
    QHostAddress ip;
    QHostAddress netmask;
    QHostAddress broadcast; // null when the system gives none
};

// One network interface: its state and IPv4 addresses.
struct InterfaceInfo {
    QString name;
    bool up = false;
    bool loopback = false;
    bool canBroadcast = false;
    QList<InterfaceAddress> addresses;
};

// The interfaces of this machine, as the system reports them now.
QList<InterfaceInfo> SystemInterfaces();

// One broadcast of the search: sent from source (an address of the interface) to target.
struct SearchTarget {
    QString interfaceName;
    QHostAddress source;
    QHostAddress netmask; // of source; replies from within it came through this interface
    QHostAddress target;
    bool bindToInterface = false; // the limited broadcast, which must leave through this card
};

// Where the search sends, from the interfaces chosen by name (empty: every interface). On
// the loopback interface only its own broadcast address (127.255.255.255 on 127.0.0.1/8) is
// used, never 255.255.255.255, which the system would route out of the default network card.
// A network card that is up and can broadcast gets its broadcast address and 255.255.255.255,
// both from its own address. *skipped gets a line for each chosen interface that is left out,
// with the reason.
QList<SearchTarget> PlanSearch(const QList<InterfaceInfo>& interfaces, const QStringList& chosen,
                               QStringList* skipped = nullptr);

// A device that answered.
struct FoundDevice {
    std::array<quint8, 6> mac{};
    QHostAddress address; // where its replies came from
    QString interfaceName;
    int version = -1;        // from the reply to the first connection command; -1 not seen
    bool haveConfig = false; // the read was answered; record holds its configuration
    DeviceConfig record;     // Mac_addres set; box_vers as the conversion sets it
    int replies = 0;         // datagrams taken from it (duplicates included)

    QString name() const; // the device name, or empty before its configuration came
    bool supported() const { return version == kSupportedVersion; }
};

// A reply that was not taken, and why.
struct IgnoredReply {
    QHostAddress from;
    int size = 0;
    QString reason;
};

// What the search did.
struct SearchReport {
    QList<SearchTarget> targets;
    QStringList skipped;      // interfaces left out, and why
    QStringList sendFailures; // requests the system would not send, and why
    QStringList notes;        // what else the operator should know (a card not bound to)
    QString bindError;        // the reply port could not be bound: nothing was sent
    int requestsSent = 0;
    int repliesReceived = 0; // every datagram that arrived, taken or ignored
    int duplicates = 0;      // replies repeated by a device already heard
    QList<IgnoredReply> ignored;
};

struct SearchOptions {
    QStringList interfaces; // by name; empty: every interface
    // Used instead of the interfaces when not empty (tests name loopback addresses here).
    QList<SearchTarget> targets;
    int windowMs = 1000; // how long replies are collected
    quint16 devicePort = kDeviceUdpPort;
    quint16 replyPort = kReplyUdpPort;
};

class DeviceSearch : public QObject
{
    Q_OBJECT
public:
    explicit DeviceSearch(QObject* parent = nullptr);
    ~DeviceSearch() override;

    // Starts a search; a search already running is stopped first. False when nothing could
    // be sent (the reply port is taken, or no interface is left): finished() is then
    // emitted before start returns, and report() says why.
    bool start(const SearchOptions& options);
    // Ends the search now; finished() follows. Nothing happens when none runs.
    void stop();
    bool running() const { return running_; }

    const std::vector<FoundDevice>& devices() const { return devices_; }
    const SearchReport& report() const { return report_; }
    int elapsedMs() const;

    // What the search tried and what came back, a line each: the interfaces and addresses,
    // the requests, the replies taken and ignored (with the reason) and, when nothing was
    // found, the usual causes.
    QStringList explanation() const;

    // Takes one datagram as though it had arrived from `from` on the reply port: it counts in
    // report().repliesReceived and is taken or ignored as a received one is. A search that is
    // not running sends no read for a new device, so its configuration reply is then ignored.
    // Datagrams of any size are accepted. Used by the tests and the fuzz target.
    void feedReply(const QByteArray& datagram, const QHostAddress& from);

signals:
    void deviceFound(int index);   // a new device, by MAC
    void deviceChanged(int index); // its version or configuration came
    void progress(int elapsedMs, int windowMs);
    void finished();

private:
    void readReplies();
    void readNext(); // asks the next device in the queue for its configuration
    void take(const QByteArray& datagram, const QHostAddress& from, int interfaceIndex);
    FoundDevice* deviceAt(const QHostAddress& from, int* index);
    void sendToAll(const ConfigBlock& request);
    void send(const ConfigBlock& request, int targetIndex);
    QString interfaceOf(const QHostAddress& from, int interfaceIndex) const;
    void finish();

    SearchOptions options_;
    SearchReport report_;
    std::vector<FoundDevice> devices_;
    std::unique_ptr<QUdpSocket> receive_;
    std::vector<std::unique_ptr<QUdpSocket>> send_; // one per target
    QList<std::pair<QHostAddress, int>> versions_;  // first replies not yet matched to a MAC
    QElapsedTimer clock_;
    QList<int> readQueue_; // devices whose configuration is still to be asked for
    int reading_ = -1;     // the device whose configuration is asked for now
    QTimer readTimer_;
    QTimer window_;
    QTimer tick_;
    bool running_ = false;
};
