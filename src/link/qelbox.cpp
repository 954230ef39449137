#include "link/qelbox.h"

#include "config/operator.h"
#include "link/comportfunctions.h"
#include "link/exchangeguard.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QThread>
#include <QUdpSocket>

LinkContext::LinkContext() = default;
LinkContext::~LinkContext() = default;

bool ReleaseLink(LinkContext& ctx)
{
    if (ctx.exchangeRunning)
        return false;
    for (auto* socket : {&ctx.sendSocket, &ctx.receiveSocket}) {
        if (*socket) {
            (*socket)->close();
            socket->reset();
        }
    }
    if (ctx.port) {
        ctx.port->close();
        ctx.port.reset();
    }
    ctx.configBlock.fill(0);
    ctx.deviceRecord = DeviceConfig{};
    ctx.deviceMac.fill(0);
    return true;
}

void InitLinkContext(LinkContext& ctx)
{
    ctx.port.reset();
    ctx.sendSocket.reset();
    ctx.receiveSocket.reset();
    ctx.baudRate = 9600;
    ctx.attemptCount = 2;
    ctx.replyLength = 0;
    ctx.interByteTimeout = 10;
    ctx.replyTimeout = 2000;
    ctx.statusPanel = nullptr;
    ctx.resultCode = ResOk;
    ctx.resultTexts = {
        QStringLiteral("Команда виконана"),
        QStringLiteral("Збій під час операції запису"),
        QStringLiteral("Збій під час операції читання"),
        QStringLiteral("Пристрій не відповідає"),
        QStringLiteral("Відповідь отримана не повністю (перевищено час між байтами)"),
        QStringLiteral("Обмін припинено на вимогу оператора"),
        QStringLiteral("Неправильна довжина відповіді від пристрою"),
        QStringLiteral("Ithernet. Не виконано команду sendto (надсилання запиту)"),
        QStringLiteral("Ithernet. Не виконано команду recvfrom (отримання відповіді)"),
        QStringLiteral("Ithernet. Перевищено час отримання відповіді на запит"),
        QStringLiteral("Ithernet. Неправильна довжина відповіді на запит"),
    };
}

QString ResultText(const LinkContext& ctx)
{
    if (ctx.resultCode < 0 || ctx.resultCode >= ResultCodeCount)
        return QString();
    return ctx.resultTexts[size_t(ctx.resultCode)];
}

QString ExchangeStatusText()
{
    return QStringLiteral("Обмін...");
}

namespace
{

constexpr qint64 kNsPerMs = 1'000'000;
// Waits before an RTS deadline sleep until this close to it, then spin: a sleep may
// overshoot by some tens of microseconds, the spin does not.
constexpr qint64 kSpinNs = 250'000;
// Longest blocking wait for reply bytes between two rounds of event handling.
constexpr int kPollMs = 1;

void waitUntil(const QElapsedTimer& clock, qint64 momentNs)
{
    for (;;) {
        const qint64 left = momentNs - clock.nsecsElapsed();
        if (left <= 0)
            return;
        if (left > kSpinNs)
            QThread::usleep(quint64((left - kSpinNs) / 1000));
    }
}

QSerialPort* openPort(LinkContext& ctx)
{
    QSerialPort* port = ctx.port.get();
    return port && port->isOpen() ? port : nullptr;
}

void purge(LinkContext& ctx)
{
    if (QSerialPort* port = openPort(ctx)) {
        port->clear(QSerialPort::AllDirections);
        port->clearError();
    }
}

// RTS is best effort: a port without modem lines refuses it.
bool setRts(LinkContext& ctx, bool on)
{
    QSerialPort* port = openPort(ctx);
    if (!port)
        return false;
    const bool ok = port->setRequestToSend(on);
    port->clearError();
    return ok;
}

bool writeFrame(LinkContext& ctx, int length)
{
    QSerialPort* port = openPort(ctx);
    if (!port)
        return false;
    const char* frame = reinterpret_cast<const char*>(ctx.sendBuffer.data());
    if (port->write(frame, length) != length)
        return false;
    // Hand the bytes to the system now rather than at the next round of events.
    if (!port->flush() && port->bytesToWrite() > 0)
        return false;
    const QSerialPort::SerialPortError error = port->error();
    return error != QSerialPort::WriteError && error != QSerialPort::ResourceError;
}

// Waits up to kPollMs for reply bytes. False when the port can no longer deliver any.
bool waitForBytes(LinkContext& ctx)
{
    QSerialPort* port = openPort(ctx);
    if (!port)
        return false;
    if (port->bytesAvailable() > 0)
        return true;
    QElapsedTimer waited;
    waited.start();
    if (port->waitForReadyRead(kPollMs) || port->bytesAvailable() > 0)
        return true;
    const QSerialPort::SerialPortError error = port->error();
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError) {
        port->clearError();
        return true;
    }
    // A failed read counts as no byte; ClearComError as the exchange always did.
    ClearComError(port);
    if (ComPortLost(port))
        return false;
    // Never turn a read that fails at once into a busy loop.
    const qint64 rest = kPollMs * kNsPerMs - waited.nsecsElapsed();
    if (rest > 0)
        QThread::usleep(quint64(rest / 1000));
    return true;
}

bool exchangeOnce(LinkContext& ctx, int length)
{
    QElapsedTimer clock;
    clock.start();
    ExchangeTrace& trace = ctx.trace;
    trace = ExchangeTrace();
    trace.frameLength = length;
    auto finish = [&](int result) {
        ctx.resultCode = result;
        purge(ctx);
        trace.result = result;
        trace.end = clock.nsecsElapsed();
        return result == ResOk;
    };

    ExchangeGuard::handleEvents();
    purge(ctx);

    trace.rtsAccepted = setRts(ctx, true);
    trace.rtsUp = clock.nsecsElapsed();
    waitUntil(clock, trace.rtsUp + kRtsLeadNs);

    trace.writeStart = clock.nsecsElapsed();
    trace.transmitEnd = trace.writeStart + TransmissionTimeNs(length, ctx.baudRate);
    if (!writeFrame(ctx, length)) {
        ClearComError(ctx.port.get());
        setRts(ctx, false);
        trace.rtsDown = clock.nsecsElapsed();
        return finish(ResWriteFailed);
    }
    waitUntil(clock, trace.transmitEnd);
    setRts(ctx, false);
    trace.rtsDown = clock.nsecsElapsed();

    ctx.receiveBuffer.fill(0);
    const qint64 gap = qint64(qMax(ctx.interByteTimeout, 0)) * kNsPerMs;
    trace.replyDeadline = trace.rtsDown + qint64(qMax(ctx.replyTimeout, 0)) * kNsPerMs;
    const int expected = ctx.replyLength;
    int count = 0;
    qint64 lastByte = 0;
    ctx.resultCode = ResOk;
    for (;;) {
        ExchangeGuard::handleEvents();
        if (!waitForBytes(ctx))
            return finish(ResReadFailed);
        // The port may have been closed while events were handled.
        QSerialPort* port = openPort(ctx);
        if (!port)
            return finish(ResReadFailed);
        char byte = 0;
        const qint64 got = port->read(&byte, 1);
        const qint64 now = clock.nsecsElapsed();
        if (got == 1 && count < kLinkBufferSize) {
            ctx.receiveBuffer[size_t(count)] = quint8(byte);
            ++count;
            lastByte = now;
            trace.bytes.append(now);
            if (count >= expected)
                return finish(ResOk);
            continue;
        }
        if (got < 0)
            ClearComError(port);
        if (count == 0 && now > trace.replyDeadline)
            return finish(ResNoReply);
        if (count > 0 && now > lastByte + gap)
            return finish(ResIncomplete);
    }
}

void showStatus(LinkContext& ctx, const QString& text)
{
    if (ctx.statusPanel)
        ctx.statusPanel(text);
}

} // namespace

int ReplyLength(quint8 code)
{
    switch (code) {
    case 0x81:
        return 6;
    case 0x61:
    case 0x62:
    case 0x63:
    case 0x65:
    case 0x71:
    case 0x92:
    case 0x94:
        return 4;
    case 0x72:
    case 0x95:
        return 3;
    case 0x64:
    case 0x66:
    case 0x91:
    case 0x93:
        return 2;
    default:
        return 1;
    }
}

qint64 TransmissionTimeNs(int length, qint32 baudRate)
{
    const qint64 rate = qBound(kComMinRate, baudRate, kComMaxRate);
    return qint64(10) * (qMax(length, 0) + 1) * 1'000'000'000 / rate;
}

bool ExchangeOnce(LinkContext& ctx, int frameLength)
{
    if (ctx.exchangeRunning) {
        ++ctx.refusedCommands;
        return false;
    }
    ExchangeGuard guard(ctx);
    if (frameLength < 1 || frameLength > kLinkBufferSize) {
        ctx.resultCode = ResWriteFailed;
        return false;
    }
    return exchangeOnce(ctx, frameLength);
}

bool ExecCommand(LinkContext& ctx, quint8 code, const quint8* data, int n)
{
    if (ctx.exchangeRunning) {
        ++ctx.refusedCommands;
        return false;
    }
    ExchangeGuard guard(ctx);
    ctx.resultCode = ResOk;
    ctx.lastCommand = code;
    if (!data)
        n = 0;
    if (n < 0 || n > kLinkBufferSize - 3) {
        ctx.resultCode = ResWriteFailed;
        return false;
    }

    ctx.sendBuffer.fill(0);
    ctx.sendBuffer[0] = kFrameFirst;
    ctx.sendBuffer[1] = kFrameSecond;
    ctx.sendBuffer[2] = code;
    for (int i = 0; i < n; ++i)
        ctx.sendBuffer[size_t(3 + i)] = data[i];
    const int length = 3 + n;
    ctx.replyLength = quint8(ReplyLength(code));

    for (;;) {
        showStatus(ctx, ExchangeStatusText());
        // An attempt count of 0 would report success without a single exchange.
        for (int left = qMax(int(ctx.attemptCount), 1); left > 0; --left) {
            if (exchangeOnce(ctx, length))
                break;
        }
        showStatus(ctx, QString());
        if (ctx.resultCode == ResOk)
            return true;

        QString line1;
        QString line2;
        if (ctx.resultCode == ResNoReply) {
            line1 = QStringLiteral("Пристрій не відповідає. Увага! Тумблер режиму роботи");
            line2 = QStringLiteral("повинен бути встановлений в положення \"Конфігурування \"");
        } else {
            line1 = QStringLiteral("Не виконана команда (0x) %1")
                        .arg(QString::number(code, 16).toUpper());
            line2 = ResultText(ctx);
        }
        ctx.messageText = line1;
        const ExchangeGuard::Question question;
        if (!CurrentOperator().ask(MsgRetry, line1, line2))
            return false;
    }
}

namespace
{

constexpr int kAttemptPauseMs = 100; // between two attempts of a datagram

// Drops the datagrams that wait on the socket: late answers to earlier requests.
void drain(QUdpSocket& socket)
{
    while (socket.hasPendingDatagrams()) {
        char sink = 0;
        if (socket.readDatagram(&sink, 1) < 0)
            return;
    }
}

// One attempt: the request sent, and the reply taken within the time-out.
int exchangeDatagramOnce(LinkContext& ctx, const quint8* request, int length)
{
    QUdpSocket& out = *ctx.sendSocket;
    QUdpSocket& in = *ctx.receiveSocket;
    drain(in);
    if (out.writeDatagram(reinterpret_cast<const char*>(request), length, ctx.deviceAddress,
                          ctx.devicePort) != length)
        return ResUdpSendFailed;

    ctx.receiveBuffer.fill(0);
    QElapsedTimer clock;
    clock.start();
    const qint64 timeoutNs = qint64(qMax(ctx.replyTimeout, 0)) * 1000;
    while (!in.hasPendingDatagrams()) {
        if (in.state() != QAbstractSocket::BoundState)
            return ResUdpReceiveFailed;
        const qint64 leftNs = timeoutNs - clock.nsecsElapsed();
        if (leftNs <= 0)
            return ResUdpTimeout;
        ExchangeGuard::handleEvents();
        // A short blocking wait on the socket, never beyond the deadline.
        in.waitForReadyRead(leftNs >= 1'000'000 ? 1 : 0);
    }
    const qint64 size = in.pendingDatagramSize();
    QHostAddress sender;
    quint16 senderPort = 0;
    const qint64 got = in.readDatagram(reinterpret_cast<char*>(ctx.receiveBuffer.data()),
                                       kLinkBufferSize, &sender, &senderPort);
    if (got < 0)
        return ResUdpReceiveFailed;
    ctx.sourceAddress = sender;
    ctx.sourcePort = senderPort;
    return size == kDatagramSize && got == kDatagramSize ? ResOk : ResUdpWrongLength;
}

} // namespace

bool ExchangeDatagram(LinkContext& ctx, const quint8* request, int length)
{
    if (ctx.exchangeRunning) {
        ++ctx.refusedCommands;
        return false;
    }
    ExchangeGuard guard(ctx);
    if (!ctx.sendSocket || !ctx.receiveSocket || !request || length < 1 ||
        length > kLinkBufferSize) {
        ctx.resultCode = ResUdpSendFailed;
        return false;
    }
    showStatus(ctx, ExchangeStatusText());
    for (int left = qMax(int(ctx.attemptCount), 1);;) {
        ExchangeGuard::handleEvents();
        ctx.resultCode = exchangeDatagramOnce(ctx, request, length);
        if (ctx.resultCode == ResOk || --left == 0)
            break;
        ExchangeGuard::pause(kAttemptPauseMs);
    }
    showStatus(ctx, QString());
    return ctx.resultCode == ResOk;
}
