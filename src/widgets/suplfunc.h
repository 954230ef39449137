#pragma once
// Helpers every form shares: the connection parameters in the status line and the key
// filter of numeric edit fields.

#include "config/ipaddr.h"

#include <QChar>
#include <QObject>
#include <QString>

#include <array>

class QLineEdit;
class StatusLine;

// The texts of the status line: the serial link " COM%d,   %d біт/с", the Ethernet link
// " IP-адр. %d.%d.%d.%d", and the device on an Ethernet link,
// "Пристрій "<name>".   MAC_адр. XX:XX:XX:XX:XX:XX".
QString SerialLinkText(int comPort, qint32 rate);
QString EthernetLinkText(const IpAddress& address);
QString DeviceLineText(const QString& name, const std::array<quint8, 6>& mac);

// Clears panels 0 and 1 and shows the current link in panel 0: " COM%d,   %d біт/с" for a
// serial link, " IP-адр. %d.%d.%d.%d" of the current abonent for Ethernet. No abonent (an
// empty book, an index outside it) or another link type leaves panel 0 empty.
void ShowConnParams(StatusLine* bar);

// Lets digits, backspace, '%' and the apostrophe through; any other key becomes a null
// character, which discards it. sender is the control the key was typed into.
void EditIntKeyPress(QObject* sender, QChar& key);

// Applies EditIntKeyPress to the characters typed into a field. Keys that produce no
// printable character (navigation, Tab, Enter, shortcuts) are left alone, and text set by
// other means (setText, paste) is not filtered.
class IntKeyFilter : public QObject
{
    Q_OBJECT
public:
    explicit IntKeyFilter(QObject* parent = nullptr) : QObject(parent) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Installs an IntKeyFilter owned by edit.
void InstallIntKeyFilter(QLineEdit* edit);
