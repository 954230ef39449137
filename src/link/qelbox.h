#pragma once
// The link context: the one record that holds the open serial port and the UDP sockets,
// the buffers, the exchange settings and the outcome of the last exchange.

#include "config/devconfig.h"

#include <QHostAddress>
#include <QList>
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
// Every datagram of the Ethernet protocol, request and reply, has exactly this size.
constexpr int kDatagramSize = 285;
using ConfigBlock = std::array<quint8, kDatagramSize>;

// The moments of one serial attempt, in nanoseconds from the attempt's start, so the timing
// of the line can be checked. -1 marks a moment the attempt did not reach.
struct ExchangeTrace {
    int frameLength = 0;
    qint64 rtsUp = -1;         // RTS raised
    qint64 writeStart = -1;    // the frame handed to the port
    qint64 transmitEnd = -1;   // computed: writeStart + 10 x (length + 1) bit times
    qint64 rtsDown = -1;       // RTS dropped
    qint64 replyDeadline = -1; // the first reply byte had to come by then
    QList<qint64> bytes;       // each reply byte taken
    qint64 end = -1;           // buffers purged, attempt over
    bool rtsAccepted = false;  // the port took the RTS request (a pseudo-terminal refuses it)
    int result = 0;
};

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

    // The Ethernet link's picture of its device, while the link is open: the configuration
    // block last read (the base of the next write), the record converted from it, and the MAC
    // the second connection command reported. All zero when no Ethernet link is open.
    ConfigBlock configBlock{};
    DeviceConfig deviceRecord{};
    std::array<quint8, 6> deviceMac{};

    // True while an exchange runs on this context (including its retry question); set by the
    // exchange's ExchangeGuard, which also keeps the operator's input away meanwhile.
    bool exchangeRunning = false;
    // Commands refused because another one was running (see ExecCommand). With the guard's
    // input block nothing should ever get here; it stays as the last line of defence.
    quint32 refusedCommands = 0;
    ExchangeTrace trace; // the last serial attempt
};

// Fills the context with its defaults: no port or sockets, 9600 bit/s, 2 attempts, reply
// length 0, 10 ms between bytes, 2000 ms to the first byte, no status panel, and the result
// texts. The buffers are left as they are.
void InitLinkContext(LinkContext& ctx);

// Closes the serial port and both UDP sockets of the context and forgets them, and clears
// the Ethernet link's configuration block, device record and MAC. While an exchange runs on
// the context nothing is closed and false is returned: the exchange would go on with a port
// that is gone.
bool ReleaseLink(LinkContext& ctx);

// The text of the current result code (an empty text for a code outside the table).
QString ResultText(const LinkContext& ctx);

// What the status panel shows while a command runs: "Обмін...".
QString ExchangeStatusText();

constexpr quint8 kFrameFirst = 0x57;
constexpr quint8 kFrameSecond = 0xAB;
constexpr int kRtsLeadNs = 2'000'000; // RTS is raised this long before the frame

// Number of reply bytes the device sends for a command: 6 for 0x81 (MAC); 4 for 0x61,
// 0x62, 0x63, 0x65, 0x71, 0x92, 0x94; 3 for 0x72, 0x95; 2 for 0x64, 0x66, 0x91, 0x93; 1 for
// every other code (one-byte reads and the acknowledgement of every write or action).
int ReplyLength(quint8 code);

// Time the line needs for a frame of length bytes plus one character at the rate:
// 10 x (length + 1) bit times, in nanoseconds. Rates outside 110..256000 are taken at the
// nearest limit.
qint64 TransmissionTimeNs(int length, qint32 baudRate);

// One complete command: sends 0x57 0xAB code and the n data bytes, waits for the reply
// of ReplyLength(code) bytes (then at the start of ctx.receiveBuffer), with attemptCount
// attempts per pass (at least one) and "Обмін..." in the status panel during a pass. A pass
// that fails asks the operator (retry question, kind 7) whether to try again; "Так" starts
// a new pass. Returns success; the reason of a failure stays in ctx.resultCode.
//
// The command runs under an ExchangeGuard: the windows repaint while it waits, but the
// operator's input is dropped and a window's close is held until the command has ended
// (the retry question takes input as usual). Should a second ExecCommand or ExchangeOnce
// still reach the context while a command runs on it, it is refused: it returns false at
// once, sends nothing, asks nothing, counts itself in ctx.refusedCommands and leaves
// resultCode alone, since that belongs to the running command.
// A data length outside 0..509 (no room in the send buffer) sends nothing and fails with
// result 1, without a question.
bool ExecCommand(LinkContext& ctx, quint8 code, const quint8* data = nullptr, int n = 0);

// One attempt on the frame of frameLength bytes already in ctx.sendBuffer, expecting
// ctx.replyLength reply bytes; sets ctx.resultCode and ctx.trace. Results: 0 done; 1 the
// frame could not be written; 2 the port failed while waiting (the device end is gone);
// 3 no reply byte within replyTimeout ms; 4 a gap between reply bytes above
// interByteTimeout ms.
bool ExchangeOnce(LinkContext& ctx, int frameLength);

// One UDP request of length bytes (at most kLinkBufferSize) from the send socket to
// ctx.deviceAddress:ctx.devicePort, waiting up to ctx.replyTimeout microseconds for a reply on
// the receive socket, with ctx.attemptCount attempts (at least one) 100 ms apart and
// "Обмін..." in the status panel meanwhile. Datagrams already waiting on the receive socket
// are dropped before each request, so a late answer to an earlier one is never taken as this
// one's. The reply is at the start of ctx.receiveBuffer and its sender in ctx.sourceAddress.
// Results: 0 a reply of kDatagramSize bytes; 7 the request could not be sent; 8 receiving
// failed; 9 no reply in time; 10 a reply of another size. Asks nothing; runs under an
// ExchangeGuard and is refused, like ExecCommand, while another exchange runs on ctx.
bool ExchangeDatagram(LinkContext& ctx, const quint8* request, int length);
