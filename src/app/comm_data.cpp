#include "app/comm_data.h"

#include <QScreen>

namespace
{
// The client area is this much larger than the panel it shows.
constexpr int kExtraWidth = 22;
constexpr int kExtraHeight = 44;
constexpr QPoint kPanelPos(2, 2);
} // namespace

TFormComm_Data::TFormComm_Data(QWidget* owner) : FormDialog(owner)
{
    ui.setupUi(this);
    FormCreate();
    connect(ui.BitBtn5, &QPushButton::clicked, this, &TFormComm_Data::BitBtnExitClick);
}

// Every data panel starts hidden; the show brings up the one in use. Panels are found by
// name so the form may carry any subset of them. The MAC bytes start at zero.
void TFormComm_Data::FormCreate()
{
    for (int i = 1; i <= 5; ++i) {
        if (auto* panel = findChild<QWidget*>(QStringLiteral("pn%1").arg(i)))
            panel->hide();
    }
    for (int i = 1; i <= int(mac_.size()); ++i)
        macFields_ << findChild<QLabel*>(QStringLiteral("ma%1").arg(i));
}

void TFormComm_Data::FormShow()
{
    ui.pn3->show();
    for (int i = 0; i < macFields_.size(); ++i) {
        if (macFields_[i])
            macFields_[i]->setText(
                QStringLiteral("%1").arg(mac_[size_t(i)], 2, 16, QLatin1Char('0')).toUpper());
    }
    ui.pn3->move(kPanelPos);
    setFixedSize(ui.pn3->width() + kExtraWidth, ui.pn3->height() + kExtraHeight);

    // Centres the frame: a window's position is that of its frame.
    const QRect frame = frameGeometry();
    const QPoint half = frame.center() - frame.topLeft();
    if (const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr)
        move(owner->frameGeometry().center() - half);
    else if (const QScreen* s = screen())
        move(s->availableGeometry().center() - half);
    ui.BitBtn5->setFocus();
}

void TFormComm_Data::BitBtnExitClick()
{
    accept();
}
