#include "widgets/menubarstyle.h"

#include <QPainter>
#include <QStyleOptionMenuItem>

namespace
{
constexpr int kIconTextGap = 4;

const QStyleOptionMenuItem* itemWithIcon(const QStyleOption* option)
{
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    return item && !item->icon.isNull() && !item->text.isEmpty() ? item : nullptr;
}
} // namespace

void MenuBarStyle::drawControl(ControlElement element, const QStyleOption* option,
                               QPainter* painter, const QWidget* widget) const
{
    const QStyleOptionMenuItem* item = element == CE_MenuBarItem ? itemWithIcon(option) : nullptr;
    if (!item) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }

    // The base style paints the background and the highlight of an empty item.
    QStyleOptionMenuItem background = *item;
    background.icon = QIcon();
    background.text.clear();
    QProxyStyle::drawControl(element, &background, painter, widget);

    const bool enabled = item->state & State_Enabled;
    const bool selected = (item->state & State_Selected) &&
                          (item->state & State_Sunken || item->state & State_HasFocus ||
                           item->state & State_MouseOver);
    const int iconSize = pixelMetric(PM_SmallIconSize, option, widget);
    const int textWidth = item->fontMetrics.horizontalAdvance(item->text);
    const int contentWidth = iconSize + kIconTextGap + textWidth;
    const QRect r = item->rect;
    const int left = r.left() + (r.width() - contentWidth) / 2;

    const QRect iconRect(left, r.top() + (r.height() - iconSize) / 2, iconSize, iconSize);
    const QPixmap pixmap =
        item->icon.pixmap(QSize(iconSize, iconSize), enabled ? QIcon::Normal : QIcon::Disabled);
    drawItemPixmap(painter, iconRect, Qt::AlignCenter, pixmap);

    const QRect textRect(iconRect.right() + 1 + kIconTextGap, r.top(), textWidth, r.height());
    drawItemText(painter, textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                 item->palette, enabled, item->text,
                 selected ? QPalette::HighlightedText : QPalette::ButtonText);
}

QSize MenuBarStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                     const QSize& size, const QWidget* widget) const
{
    QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type == CT_MenuBarItem) {
        if (const QStyleOptionMenuItem* item = itemWithIcon(option)) {
            // The bar measured the icon alone; make room for the caption behind it.
            result.rwidth() += kIconTextGap + item->fontMetrics.horizontalAdvance(item->text);
            result.setHeight(qMax(result.height(), item->fontMetrics.height() + 8));
        }
    }
    return result;
}
