#include "app/statusline.h"

#include <QLabel>

namespace
{
constexpr int kGap = 2; // between panels and around them
}

StatusLine::StatusLine(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("StatusBar1"));
    setFixedHeight(kHeight);
    for (int i = 0; i < kPanelCount; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        label->setTextFormat(Qt::PlainText);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        panels_[size_t(i)] = label;
    }
    placePanels();
}

void StatusLine::setText(int panel, const QString& text)
{
    if (validPanel(panel))
        panels_[size_t(panel)]->setText(text);
}

QString StatusLine::text(int panel) const
{
    return validPanel(panel) ? panels_[size_t(panel)]->text() : QString();
}

void StatusLine::setPanelWidth(int panel, int width)
{
    if (!validPanel(panel))
        return;
    widths_[size_t(panel)] = qMax(0, width);
    placePanels();
}

int StatusLine::panelWidth(int panel) const
{
    return validPanel(panel) ? widths_[size_t(panel)] : 0;
}

void StatusLine::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    placePanels();
}

// Panels sit side by side from the left edge, each at its own width.
void StatusLine::placePanels()
{
    int x = 0;
    for (int i = 0; i < kPanelCount; ++i) {
        const int w = widths_[size_t(i)];
        panels_[size_t(i)]->setGeometry(x, kGap, qMax(0, w - kGap), height() - 2 * kGap);
        x += w;
    }
}
