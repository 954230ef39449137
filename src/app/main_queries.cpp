// The main window's device data items: the TCP state of either port and the MAC address,
// each one command without data on the serial link.

#include "app/comm_data.h"
#include "app/main.h"
#include "config/operator.h"
#include "link/qelbox.h"

#include <algorithm>

namespace
{
constexpr quint8 kTcpStatePort1 = 0x03;
constexpr quint8 kTcpStatePort2 = 0x04;
constexpr quint8 kMacAddress = 0x81; // six reply bytes
constexpr quint8 kTcpConnected = 1;
} // namespace

void TFormMain::N11Click()
{
    showTcpState(kTcpStatePort1, 1);
}

void TFormMain::N21Click()
{
    showTcpState(kTcpStatePort2, 2);
}

// Reply 1 is a connected port, any other value not. A failed command has shown its
// question already.
void TFormMain::showTcpState(quint8 code, int port)
{
    if (!ExecCommand(*link_, code))
        return;
    const bool connected = link_->receiveBuffer[0] == kTcpConnected;
    CurrentOperator().ask(
        MsgNotice,
        QStringLiteral("Стан TCP підключення порту %1 - %2")
            .arg(port)
            .arg(connected ? QStringLiteral("підключений.") : QStringLiteral("непідключений.")),
        QString());
}

// "МАС адреса": the six reply bytes in the device command dialog.
void TFormMain::N2Click()
{
    if (!ExecCommand(*link_, kMacAddress))
        return;
    std::array<quint8, 6> mac{};
    std::copy_n(link_->receiveBuffer.begin(), mac.size(), mac.begin());
    TFormComm_Data form(this);
    form.setMac(mac);
    form.exec();
}
