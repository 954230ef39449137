#include "link/discover.h"

#include "link/ethr_conffun.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUdpSocket>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#endif

namespace
{

constexpr int kTickMs = 100;     // how often progress is told
constexpr int kReadWaitMs = 250; // for the configuration of one device before the next
const QHostAddress kLimitedBroadcast(QHostAddress::Broadcast);

// The broadcast address of ip within netmask.
QHostAddress directedBroadcast(const QHostAddress& ip, const QHostAddress& netmask)
{
    return QHostAddress(ip.toIPv4Address() | ~netmask.toIPv4Address());
}

bool isIpv4(const QHostAddress& a)
{
    return a.protocol() == QAbstractSocket::IPv4Protocol;
}

// The limited broadcast leaves through the card it is meant for only when the socket is
// bound to that card; the address alone does not decide the route. Binding to a device may
// need privileges: without them the request still goes out by the routing table.
// Returns why binding failed, or an empty text.
QString bindToInterface(QUdpSocket& socket, const QString& name)
{
#ifdef Q_OS_LINUX
    const QByteArray device = name.toLocal8Bit();
    if (::setsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_BINDTODEVICE,
                     device.constData(), socklen_t(device.size())) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
#else
    Q_UNUSED(socket);
    Q_UNUSED(name);
#endif
    return QString();
}

QString requestName(const ConfigBlock& request)
{
    switch (KindOfReply(request)) {
    case EthReply::FirstConnect:
        return QStringLiteral("перша команда з'єднання (CH9121_CFG_FLAG 0x04)");
    case EthReply::SecondConnect:
        return QStringLiteral("друга команда з'єднання (NET_MODULE_COMM 0x04)");
    case EthReply::Config:
        return QStringLiteral("читання конфігурації (CH9121_CFG_FLAG 0x02)");
    case EthReply::Unknown:
        break;
    }
    return QStringLiteral("запит");
}

} // namespace

QList<InterfaceInfo> SystemInterfaces()
{
    QList<InterfaceInfo> out;
    for (const QNetworkInterface& ni : QNetworkInterface::allInterfaces()) {
        InterfaceInfo info;
        info.name = ni.name();
        const auto flags = ni.flags();
        info.up =
            flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning);
        info.loopback = flags.testFlag(QNetworkInterface::IsLoopBack);
        info.canBroadcast = flags.testFlag(QNetworkInterface::CanBroadcast);
        for (const QNetworkAddressEntry& e : ni.addressEntries()) {
            if (isIpv4(e.ip()))
                info.addresses.append({e.ip(), e.netmask(), e.broadcast()});
        }
        out.append(info);
    }
    return out;
}

QList<SearchTarget> PlanSearch(const QList<InterfaceInfo>& interfaces, const QStringList& chosen,
                               QStringList* skipped)
{
    QList<SearchTarget> out;
    const auto skip = [&](const QString& line) {
        if (skipped)
            skipped->append(line);
    };
    for (const QString& name : chosen) {
        const bool known = std::any_of(interfaces.begin(), interfaces.end(),
                                       [&](const InterfaceInfo& i) { return i.name == name; });
        if (!known)
            skip(QStringLiteral("%1: такого інтерфейсу немає").arg(name));
    }
    for (const InterfaceInfo& i : interfaces) {
        if (!chosen.isEmpty() && !chosen.contains(i.name))
            continue;
        if (!i.up) {
            skip(QStringLiteral("%1: не працює").arg(i.name));
            continue;
        }
        if (!i.loopback && !i.canBroadcast) {
            skip(QStringLiteral("%1: не підтримує широкомовних запитів").arg(i.name));
            continue;
        }
        bool any = false;
        for (const InterfaceAddress& a : i.addresses) {
            if (!isIpv4(a.ip) || !isIpv4(a.netmask) || a.ip.toIPv4Address() == 0)
                continue;
            any = true;
            if (i.loopback) {
                out.append({i.name, a.ip, a.netmask, directedBroadcast(a.ip, a.netmask), false});
                continue;
            }
            const QHostAddress broadcast =
                isIpv4(a.broadcast) ? a.broadcast : directedBroadcast(a.ip, a.netmask);
            out.append({i.name, a.ip, a.netmask, broadcast, false});
            if (broadcast != kLimitedBroadcast)
                out.append({i.name, a.ip, a.netmask, kLimitedBroadcast, true});
        }
        if (!any)
            skip(QStringLiteral("%1: немає адреси IPv4").arg(i.name));
    }
    return out;
}

QString FoundDevice::name() const
{
    return haveConfig ? BoxName(record) : QString();
}

DeviceSearch::DeviceSearch(QObject* parent) : QObject(parent)
{
    window_.setSingleShot(true);
    connect(&window_, &QTimer::timeout, this, &DeviceSearch::finish);
    readTimer_.setSingleShot(true);
    connect(&readTimer_, &QTimer::timeout, this, &DeviceSearch::readNext);
    tick_.setInterval(kTickMs);
    connect(&tick_, &QTimer::timeout, this,
            [this] { emit progress(elapsedMs(), options_.windowMs); });
}

DeviceSearch::~DeviceSearch() = default;

int DeviceSearch::elapsedMs() const
{
    if (!clock_.isValid())
        return 0;
    return int(std::min<qint64>(clock_.elapsed(), options_.windowMs));
}

bool DeviceSearch::start(const SearchOptions& options)
{
    if (running_)
        stop();
    options_ = options;
    options_.windowMs = std::max(options_.windowMs, 1);
    report_ = SearchReport();
    devices_.clear();
    versions_.clear();
    readQueue_.clear();
    reading_ = -1;
    send_.clear();
    clock_.start();

    report_.targets = options_.targets.isEmpty()
                          ? PlanSearch(SystemInterfaces(), options_.interfaces, &report_.skipped)
                          : options_.targets;
    running_ = true;
    if (report_.targets.isEmpty()) {
        finish();
        return false;
    }
    receive_ = std::make_unique<QUdpSocket>();
    if (!receive_->bind(QHostAddress::AnyIPv4, options_.replyPort)) {
        report_.bindError =
            QStringLiteral("UDP-порт %1: %2").arg(options_.replyPort).arg(receive_->errorString());
        finish();
        return false;
    }
    connect(receive_.get(), &QUdpSocket::readyRead, this, &DeviceSearch::readReplies);

    for (const SearchTarget& t : report_.targets) {
        auto socket = std::make_unique<QUdpSocket>();
        if (!socket->bind(t.source, 0)) {
            report_.sendFailures.append(
                QStringLiteral("%1, адреса %2: %3")
                    .arg(t.interfaceName, t.source.toString(), socket->errorString()));
            socket.reset();
        } else if (t.bindToInterface) {
            const QString why = bindToInterface(*socket, t.interfaceName);
            if (!why.isEmpty())
                report_.notes.append(QStringLiteral("%1: %2 без прив'язки до інтерфейсу (%3), "
                                                    "запит може вийти через інший")
                                         .arg(t.interfaceName, t.target.toString(), why));
        }
        send_.push_back(std::move(socket));
    }
    sendToAll(FirstConnectRequest());
    sendToAll(SecondConnectRequest());
    window_.start(options_.windowMs);
    tick_.start();
    emit progress(0, options_.windowMs);
    return true;
}

void DeviceSearch::stop()
{
    if (running_)
        finish();
}

void DeviceSearch::finish()
{
    if (!running_)
        return;
    if (receive_ && receive_->state() == QAbstractSocket::BoundState)
        readReplies(); // what arrived up to now still counts
    running_ = false;
    window_.stop();
    tick_.stop();
    readTimer_.stop();
    readQueue_.clear();
    reading_ = -1;
    // The sockets go once control is back in the event loop: a search may end from inside
    // the receive socket's own signal (a device found, and the caller stops).
    // As children they also go with the search, should it end before the event loop runs.
    const auto dispose = [this](std::unique_ptr<QUdpSocket>& socket) {
        if (!socket)
            return;
        socket->close();
        QUdpSocket* s = socket.release();
        s->setParent(this);
        s->deleteLater();
    };
    dispose(receive_);
    for (auto& socket : send_)
        dispose(socket);
    send_.clear();
    emit progress(elapsedMs(), options_.windowMs);
    emit finished();
}

void DeviceSearch::sendToAll(const ConfigBlock& request)
{
    for (int i = 0; i < int(send_.size()); ++i)
        send(request, i);
}

void DeviceSearch::send(const ConfigBlock& request, int targetIndex)
{
    if (targetIndex < 0 || targetIndex >= int(send_.size()) || !send_[size_t(targetIndex)])
        return;
    QUdpSocket& socket = *send_[size_t(targetIndex)];
    const SearchTarget& t = report_.targets[targetIndex];
    const qint64 sent = socket.writeDatagram(reinterpret_cast<const char*>(request.data()),
                                             kDatagramSize, t.target, options_.devicePort);
    if (sent == kDatagramSize) {
        ++report_.requestsSent;
        return;
    }
    report_.sendFailures.append(QStringLiteral("%1 на %2 з %3: %4")
                                    .arg(requestName(request), t.target.toString(),
                                         t.source.toString(), socket.errorString()));
}

void DeviceSearch::readNext()
{
    readTimer_.stop();
    reading_ = -1;
    if (readQueue_.isEmpty() || !running_)
        return;
    reading_ = readQueue_.takeFirst();
    const FoundDevice& d = devices_[size_t(reading_)];
    // A broadcast addressed to its MAC on every target of its interface: a device configured
    // for another subnet answers that too.
    const ConfigBlock read = ReadConfigRequest(d.mac);
    for (int t = 0; t < report_.targets.size(); ++t) {
        if (report_.targets[t].interfaceName == d.interfaceName)
            send(read, t);
    }
    readTimer_.start(kReadWaitMs);
}

void DeviceSearch::readReplies()
{
    while (receive_ && receive_->hasPendingDatagrams()) {
        const QNetworkDatagram d = receive_->receiveDatagram(kLinkBufferSize);
        if (!d.isValid())
            break;
        ++report_.repliesReceived;
        take(d.data(), d.senderAddress(), d.interfaceIndex());
    }
}

void DeviceSearch::feedReply(const QByteArray& datagram, const QHostAddress& from)
{
    ++report_.repliesReceived;
    take(datagram, from, 0);
}

FoundDevice* DeviceSearch::deviceAt(const QHostAddress& from, int* index)
{
    for (int i = 0; i < int(devices_.size()); ++i) {
        if (devices_[size_t(i)].address.isEqual(from, QHostAddress::TolerantConversion)) {
            *index = i;
            return &devices_[size_t(i)];
        }
    }
    return nullptr;
}

QString DeviceSearch::interfaceOf(const QHostAddress& from, int interfaceIndex) const
{
    if (interfaceIndex > 0) {
        const QString name = QNetworkInterface::interfaceNameFromIndex(interfaceIndex);
        if (!name.isEmpty())
            return name;
    }
    // Without the system's word, the interface whose subnet holds the sender, else the first
    // one the search went out on.
    for (const SearchTarget& t : report_.targets) {
        if (isIpv4(t.netmask) && (from.toIPv4Address() & t.netmask.toIPv4Address()) ==
                                     (t.source.toIPv4Address() & t.netmask.toIPv4Address()))
            return t.interfaceName;
    }
    return report_.targets.isEmpty() ? QString() : report_.targets.first().interfaceName;
}

void DeviceSearch::take(const QByteArray& datagram, const QHostAddress& from, int interfaceIndex)
{
    const auto ignore = [&](const QString& reason) {
        report_.ignored.append({from, int(datagram.size()), reason});
    };
    if (datagram.size() != kDatagramSize) {
        ignore(QStringLiteral("неправильна довжина: %1 байт замість %2")
                   .arg(datagram.size())
                   .arg(kDatagramSize));
        return;
    }
    ConfigBlock reply{};
    std::copy_n(reinterpret_cast<const quint8*>(datagram.constData()), kDatagramSize,
                reply.begin());
    int index = -1;
    switch (KindOfReply(reply)) {
    case EthReply::FirstConnect: {
        const int version = VersionOfReply(reply);
        if (FoundDevice* d = deviceAt(from, &index)) {
            ++d->replies;
            if (d->version == version) {
                ++report_.duplicates;
                return;
            }
            d->version = version;
            emit deviceChanged(index);
            return;
        }
        for (const auto& v : versions_) {
            if (v.first.isEqual(from, QHostAddress::TolerantConversion) && v.second == version) {
                ++report_.duplicates;
                return;
            }
        }
        versions_.append({from, version});
        return;
    }
    case EthReply::SecondConnect: {
        const std::array<quint8, 6> mac = MacOfReply(reply);
        for (int i = 0; i < int(devices_.size()); ++i) {
            if (devices_[size_t(i)].mac == mac) {
                ++devices_[size_t(i)].replies;
                ++report_.duplicates;
                return;
            }
        }
        FoundDevice d;
        d.mac = mac;
        d.address = from;
        d.interfaceName = interfaceOf(from, interfaceIndex);
        d.replies = 1;
        for (int i = 0; i < versions_.size(); ++i) {
            if (versions_[i].first.isEqual(from, QHostAddress::TolerantConversion)) {
                d.version = versions_[i].second;
                versions_.removeAt(i);
                break;
            }
        }
        devices_.push_back(d);
        readQueue_.append(int(devices_.size()) - 1);
        emit deviceFound(int(devices_.size()) - 1);
        if (reading_ < 0)
            readNext();
        return;
    }
    case EthReply::Config: {
        // The block does not name its device: it is the answer to the one read outstanding,
        // from the address that device answered from. Devices that share an address (new
        // ones still at their factory address) are read one after the other for this.
        if (reading_ < 0 ||
            !devices_[size_t(reading_)].address.isEqual(from, QHostAddress::TolerantConversion)) {
            if (deviceAt(from, &index) && devices_[size_t(index)].haveConfig) {
                ++devices_[size_t(index)].replies;
                ++report_.duplicates;
                return;
            }
            ignore(QStringLiteral("конфігурація, якої не запитували"));
            return;
        }
        index = reading_;
        FoundDevice& d = devices_[size_t(index)];
        ++d.replies;
        BlockToRecord(reply, d.record);
        d.record.Mac_addres = d.mac;
        d.haveConfig = true;
        emit deviceChanged(index);
        readNext();
        return;
    }
    case EthReply::Unknown:
        break;
    }
    ignore(QStringLiteral("невідома сигнатура"));
}

QStringList DeviceSearch::explanation() const
{
    QStringList out;
    for (const QString& s : report_.skipped)
        out << QStringLiteral("Пропущено інтерфейс %1").arg(s);
    for (const SearchTarget& t : report_.targets) {
        out << QStringLiteral("Запити через %1 з %2 на %3:%4%5")
                   .arg(t.interfaceName, t.source.toString(), t.target.toString())
                   .arg(options_.devicePort)
                   .arg(t.bindToInterface ? QStringLiteral(" (з прив'язкою до інтерфейсу)")
                                          : QString());
    }
    out << report_.notes;
    if (report_.targets.isEmpty())
        out << QStringLiteral(
            "Немає інтерфейсу для пошуку: жоден не працює з широкомовними запитами");
    if (!report_.bindError.isEmpty())
        out << QStringLiteral("Відповіді не можна отримати: %1").arg(report_.bindError);
    out << QStringLiteral("Надіслано запитів: %1 (дві команди з'єднання на кожну адресу, потім "
                          "читання конфігурації для кожного отриманого MAC)")
               .arg(report_.requestsSent);
    for (const QString& f : report_.sendFailures)
        out << QStringLiteral("Не надіслано: %1").arg(f);
    const int ignored = int(report_.ignored.size());
    out << QStringLiteral("Отримано відповідей: %1; прийнято: %2; повторних: %3; відкинуто: %4")
               .arg(report_.repliesReceived)
               .arg(report_.repliesReceived - ignored - report_.duplicates)
               .arg(report_.duplicates)
               .arg(ignored);
    for (const IgnoredReply& r : report_.ignored)
        out << QStringLiteral("Відкинуто від %1 (%2 байт): %3")
                   .arg(r.from.toString())
                   .arg(r.size)
                   .arg(r.reason);
    for (const auto& v : versions_)
        out << QStringLiteral("%1 відповів на першу команду з'єднання, але не надіслав MAC")
                   .arg(v.first.toString());
    out << QStringLiteral("Знайдено пристроїв: %1").arg(devices_.size());
    if (devices_.empty()) {
        out << QStringLiteral("Звичайні причини: брандмауер не пропускає UDP-порт %1 (відповіді) "
                              "або %2 (запити); UDP-порт %1 зайнятий іншою програмою; кабель "
                              "або комутатор; перемикач режиму пристрою не в положенні "
                              "конфігурування")
                   .arg(options_.replyPort)
                   .arg(options_.devicePort);
    }
    return out;
}
