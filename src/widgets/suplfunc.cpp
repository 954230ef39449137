#include "widgets/suplfunc.h"

#include "config/devconfig.h"
#include "config/rd_wr_ini.h"
#include "widgets/statusline.h"

#include <QKeyEvent>
#include <QLineEdit>

QString SerialLinkText(int comPort, qint32 rate)
{
    return QStringLiteral(" COM%1,   %2 біт/с").arg(comPort).arg(rate);
}

QString EthernetLinkText(const IpAddress& address)
{
    return QStringLiteral(" IP-адр. %1.%2.%3.%4")
        .arg(address[0])
        .arg(address[1])
        .arg(address[2])
        .arg(address[3]);
}

QString DeviceLineText(const QString& name, const std::array<quint8, 6>& mac)
{
    return QStringLiteral("Пристрій \"%1\".   MAC_адр. %2").arg(name, MacText(mac));
}

void ShowConnParams(StatusLine* bar)
{
    if (!bar)
        return;
    bar->setText(0, QString());
    bar->setText(1, QString());

    const ConnSettings& s = ConnSet().cur;
    QString text;
    if (s.Conn_Prz == 0) {
        text = SerialLinkText(s.COMPort, s.Rate);
    } else if (s.Conn_Prz == 1) {
        if (const Abonent* a = CurrentAbonent(s))
            text = EthernetLinkText(a->ip_adr);
    }
    bar->setText(0, text);
    bar->repaint();
}

void EditIntKeyPress(QObject* sender, QChar& key)
{
    Q_UNUSED(sender);
    const char16_t c = key.unicode();
    const bool passes = (c >= u'0' && c <= u'9') || c == 8 || c == u'%' || c == u'\'';
    if (!passes)
        key = QChar();
}

bool IntKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = key->text();
    if (text.size() != 1 || !text.at(0).isPrint())
        return false;
    QChar c = text.at(0);
    EditIntKeyPress(watched, c);
    return c.isNull(); // true swallows the key
}

void InstallIntKeyFilter(QLineEdit* edit)
{
    if (edit)
        edit->installEventFilter(new IntKeyFilter(edit));
}
