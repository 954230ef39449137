#include "link/qelbox.h"

#include <QSerialPort>
#include <QUdpSocket>

LinkContext::LinkContext() = default;
LinkContext::~LinkContext() = default;

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
