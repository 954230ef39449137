#pragma once
// Menu bar items that show their small picture in front of their caption. The toolkit's
// styles draw either the icon or the text of a menu bar item; this one draws both.

#include <QProxyStyle>

class MenuBarStyle : public QProxyStyle
{
    Q_OBJECT
public:
    MenuBarStyle() = default;

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget = nullptr) const override;
};
