#include "widgets/statusline.h"

#include <QEvent>
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

void StatusLine::fitTexts(int panel, const QStringList& texts)
{
    if (!validPanel(panel))
        return;
    fitTexts_[size_t(panel)] = texts;
    applyFit(panel);
}

void StatusLine::applyFit(int panel)
{
    const QStringList& texts = fitTexts_[size_t(panel)];
    if (texts.isEmpty())
        return;
    QLabel* label = panels_[size_t(panel)];
    const QString shown = label->text();
    int width = kDesignWidths[size_t(panel)];
    for (const QString& text : texts) {
        label->setText(text); // the label measures its frame, margins and indent with the text
        width = qMax(width, label->sizeHint().width() + kGap);
    }
    label->setText(shown);
    setPanelWidth(panel, width);
}

void StatusLine::changeEvent(QEvent* event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        for (int i = 0; i < kPanelCount; ++i)
            applyFit(i);
    }
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
