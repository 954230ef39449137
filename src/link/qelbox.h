#pragma once
// The link context: the one record that holds the open serial port and the UDP sockets,
// the buffers, the exchange settings and the outcome of the last exchange.

#include <QHostAddress>
#include <QString>

#include <array>
#include <functional>
#include <memory>

class QSerialPort;
class QUdpSocket;

// Result codes of an exchange; ResultText gives the operator's words for each.
enum ResultCodes {
    ResOk = 0,
    ResWriteFailed = 1,
    ResReadFailed = 2,
    ResNoReply = 3,
    ResIncomplete = 4,
    ResStopped = 5,
    ResWrongLength = 6,
    ResUdpSendFailed = 7,
    ResUdpReceiveFailed = 8,
    ResUdpTimeout = 9,
    ResUdpWrongLength = 10,
    ResultCodeCount = 11,
};

constexpr int kLinkBufferSize = 512;
constexpr quint16 kDeviceUdpPort = 50000; // where the device listens
constexpr quint16 kReplyUdpPort = 60000;  // where its replies come to

struct LinkContext {
    LinkContext();
    ~LinkContext();
    LinkContext(const LinkContext&) = delete;
    LinkContext& operator=(const LinkContext&) = delete;

    quint8 replyLength = 0; // reply bytes the current serial command expects
    std::array<quint8, kLinkBufferSize> sendBuffer{};
    std::array<quint8, kLinkBufferSize> receiveBuffer{};

    std::unique_ptr<QSerialPort> port; // the open PC serial port; none when closed
    std::unique_ptr<QUdpSocket> sendSocket;
    std::unique_ptr<QUdpSocket> receiveSocket;
    QHostAddress deviceAddress; // where UDP requests go
    quint16 devicePort = kDeviceUdpPort;
    QHostAddress localAddress; // what the receive socket is bound to
    quint16 localPort = kReplyUdpPort;
    QHostAddress sourceAddress; // sender of the last datagram received
    quint16 sourcePort = 0;

    qint32 baudRate = 9600;
    qint32 interByteTimeout = 10; // ms
    qint32 replyTimeout = 2000;   // serial: ms to the first byte; Ethernet: µs to the reply
    quint8 attemptCount = 2;

    std::array<QString, ResultCodeCount> resultTexts;
    qint32 resultCode = 0;
    // Where "Обмін..." is shown while an exchange runs; empty when there is no such place.
    std::function<void(const QString&)> statusPanel;
    QString messageText; // the last formatted failure message
    quint8 lastCommand = 0;
};

// Fills the context with its defaults: no port or sockets, 9600 bit/s, 2 attempts, reply
// length 0, 10 ms between bytes, 2000 ms to the first byte, no status panel, and the result
// texts. The buffers are left as they are.
void InitLinkContext(LinkContext& ctx);

// The text of the current result code (an empty text for a code outside the table).
QString ResultText(const LinkContext& ctx);
