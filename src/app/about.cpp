#include "app/about.h"

#include <QHBoxLayout>

namespace
{

constexpr int kWidth = 540;
constexpr int kHeight = 546;
constexpr int kCreditRowHeight = 25;
constexpr int kCreditRowStep = 26;
constexpr int kRoleWidth = 170;

struct Credit {
    const char16_t* role;
    const char16_t* text;
};

// What the program is, the roles behind it, and where to get support. No people are named.
constexpr Credit kCredits[] = {
    {u"Програма", u"сервіс і конфігурування QEL_2"},
    {u"Пристрій", u"QEL_2 (CH9121), версія 39"},
    {u"Зв'язок", u"COM-порт або Ethernet (UDP)"},
    {u"Автор програми", u"див. README"},
    {u"Керівник проєкту", u"див. README"},
    {u"Керівник розробки", u"див. README"},
    {u"Файли", u"CONFIG/*.cnf, INI/qel_conn.ini"},
    {u"Документація", u"README"},
    {u"Підтримка", u"трекер задач проєкту (README)"},
};

void setBackground(QWidget* w, const QColor& color)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, color);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

} // namespace

TFormAbout::TFormAbout(QWidget* parent) : FormDialog(parent)
{
    ui.setupUi(this);
    setFixedSize(kWidth, kHeight);

    setBackground(ui.Panel1, QColor(179, 168, 166));

    QFont title(QStringLiteral("Arial"));
    title.setPixelSize(40);
    title.setBold(true);
    ui.Label1->setFont(title);

    QFont year(QStringLiteral("Verdana"));
    year.setPixelSize(12);
    year.setBold(true);
    ui.Label2->setFont(year);

    for (QLabel* panel : {ui.Panel2, ui.Panel3}) {
        setBackground(panel, QColor(186, 220, 220));
        QFont f = panel->font();
        f.setBold(true);
        panel->setFont(f);
    }
    // The year label lies in the area of the place panel and stays under it, as the
    // panels of the design cover the plain labels of the picture.
    ui.Label2->stackUnder(ui.Panel2);

    fillCredits();
    connect(ui.BitBtn1, &QPushButton::clicked, this, &TFormAbout::BitBtn1Click);
}

// Nine rows: the role on light grey, the text right-aligned in bold.
void TFormAbout::fillCredits()
{
    int top = 0;
    int row = 1;
    for (const Credit& c : kCredits) {
        auto* panel = new QFrame(ui.Credits);
        panel->setObjectName(QStringLiteral("Credit%1").arg(row++));
        panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
        panel->setGeometry(0, top, ui.Credits->width(), kCreditRowHeight);
        setBackground(panel, QColor(236, 233, 232));
        top += kCreditRowStep;

        auto* layout = new QHBoxLayout(panel);
        layout->setContentsMargins(1, 1, 8, 1);
        layout->setSpacing(8);

        auto* role = new QLabel(QString::fromUtf16(c.role), panel);
        role->setTextFormat(Qt::PlainText);
        role->setFixedWidth(kRoleWidth);
        role->setIndent(8);
        setBackground(role, QColor(214, 214, 214));

        auto* text = new QLabel(QString::fromUtf16(c.text), panel);
        text->setTextFormat(Qt::PlainText);
        text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        QFont bold = text->font();
        bold.setBold(true);
        text->setFont(bold);

        layout->addWidget(role);
        layout->addWidget(text, 1);
    }
}

void TFormAbout::FormShow()
{
    setFixedSize(kWidth, kHeight);
    centreOnScreen();
}

void TFormAbout::BitBtn1Click()
{
    accept();
}
