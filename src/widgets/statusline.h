#pragma once
// The status line of the main window: a row of four sunken text panels with fixed widths.

#include <QFrame>
#include <QString>
#include <QStringList>

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

    // Sizes the panel for the longest of texts, the texts it will hold, in its font (again
    // whenever the font changes), and never below its design width.
    void fitTexts(int panel, const QStringList& texts);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    static bool validPanel(int panel) { return panel >= 0 && panel < kPanelCount; }
    void placePanels();
    void applyFit(int panel);

    std::array<QLabel*, kPanelCount> panels_{};
    static constexpr std::array<int, kPanelCount> kDesignWidths{110, 330, 360, 50};
    std::array<int, kPanelCount> widths_ = kDesignWidths;
    std::array<QStringList, kPanelCount> fitTexts_{};
};
