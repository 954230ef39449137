#pragma once
// The status line of the main window: a row of four sunken text panels with fixed widths.

#include <QFrame>
#include <QString>

#include <array>

class QLabel;

class StatusLine : public QFrame
{
    Q_OBJECT
public:
    static constexpr int kPanelCount = 4;
    static constexpr int kHeight = 28;

    explicit StatusLine(QWidget* parent = nullptr);

    // Panel texts are shown as plain text. An index outside 0..3 is ignored (empty text, width 0).
    void setText(int panel, const QString& text);
    QString text(int panel) const;
    void setPanelWidth(int panel, int width);
    int panelWidth(int panel) const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    static bool validPanel(int panel) { return panel >= 0 && panel < kPanelCount; }
    void placePanels();

    std::array<QLabel*, kPanelCount> panels_{};
    std::array<int, kPanelCount> widths_{110, 330, 360, 50};
};
