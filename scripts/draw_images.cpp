// Draws the pictures of the forms into resources/: the button glyphs, the menu bar
// pictures and the background of the about box. Run by scripts/draw_images; the PNGs it
// writes are committed, so the build does not need this program.

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>
#include <functional>

namespace
{

QString g_dir;

bool save(const QImage& img, const char* name)
{
    const QString path = g_dir + QLatin1Char('/') + QLatin1String(name);
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool glyph(const char* name, const std::function<void(QPainter&)>& draw)
{
    QImage img(16, 16, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    p.end();
    return save(img, name);
}

QPen pen(const QColor& c, qreal w)
{
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void drawCheck(QPainter& p, const QColor& c)
{
    p.setPen(pen(c, 2.6));
    p.drawPolyline(QPolygonF({{2.5, 8.5}, {6.5, 12.5}, {13.5, 3.5}}));
}

void drawCross(QPainter& p, const QColor& c)
{
    p.setPen(pen(c, 2.6));
    p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
}

bool drawGlyphs()
{
    const QColor green(40, 140, 60), red(190, 40, 40), blue(40, 90, 160), slate(60, 75, 95);
    bool ok = true;
    ok &= glyph("yes.png", [&](QPainter& p) { drawCheck(p, green); });
    ok &= glyph("no.png", [&](QPainter& p) { drawCross(p, red); });
    ok &= glyph("ok.png", [&](QPainter& p) {
        p.setPen(pen(blue, 1.4));
        p.setBrush(QColor(225, 235, 250));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setPen(pen(blue, 2.0));
        p.drawPolyline(QPolygonF({{4.5, 8.0}, {7.0, 10.5}, {11.5, 5.0}}));
    });
    // Configuration: a document with a folded corner and lines.
    ok &= glyph("config.png", [&](QPainter& p) {
        p.setPen(pen(slate, 1.2));
        p.setBrush(QColor(250, 250, 240));
        p.drawPolygon(QPolygonF({{3.5, 1.5}, {10.0, 1.5}, {13.5, 5.0}, {13.5, 14.5}, {3.5, 14.5}}));
        p.drawPolyline(QPolygonF({{10.0, 1.5}, {10.0, 5.0}, {13.5, 5.0}}));
        p.setPen(pen(blue, 1.0));
        for (qreal y : {7.5, 10.0, 12.5})
            p.drawLine(QPointF(5.5, y), QPointF(11.5, y));
    });
    // Parameters: three sliders.
    ok &= glyph("params.png", [&](QPainter& p) {
        p.setPen(pen(slate, 1.4));
        const qreal knobs[] = {5, 10, 7};
        for (int i = 0; i < 3; ++i) {
            const qreal y = 3.5 + i * 4.5;
            p.drawLine(QPointF(2, y), QPointF(14, y));
        }
        p.setBrush(QColor(230, 150, 40));
        for (int i = 0; i < 3; ++i)
            p.drawRect(QRectF(knobs[i] - 1.5, 1.5 + i * 4.5, 3, 4));
    });
    // Data: a small bar chart.
    ok &= glyph("data.png", [&](QPainter& p) {
        p.setPen(Qt::NoPen);
        const QColor bars[] = {QColor(60, 140, 200), QColor(40, 150, 90), QColor(220, 140, 40)};
        const qreal heights[] = {7, 12, 9};
        for (int i = 0; i < 3; ++i) {
            p.setBrush(bars[i]);
            p.drawRect(QRectF(2 + i * 4.5, 14.5 - heights[i], 3.2, heights[i]));
        }
        p.setPen(pen(slate, 1.0));
        p.drawLine(QPointF(1, 14.5), QPointF(15, 14.5));
    });
    // Connection: two plug halves joined by a link.
    ok &= glyph("connect.png", [&](QPainter& p) {
        p.setPen(pen(slate, 1.2));
        p.setBrush(QColor(100, 170, 210));
        p.drawRoundedRect(QRectF(1.5, 5.5, 5, 5), 1, 1);
        p.setBrush(QColor(80, 180, 120));
        p.drawRoundedRect(QRectF(9.5, 5.5, 5, 5), 1, 1);
        p.setPen(pen(slate, 1.6));
        p.drawLine(QPointF(6.5, 8), QPointF(9.5, 8));
        p.drawLine(QPointF(1, 8), QPointF(1.5, 8));
    });
    // Version: an "i" in a circle.
    ok &= glyph("version.png", [&](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(blue);
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(7, 3.5, 2, 2));
        p.drawRect(QRectF(7, 6.5, 2, 6));
    });
    // Exit: a door with an arrow leaving it.
    ok &= glyph("exit.png", [&](QPainter& p) {
        p.setPen(pen(slate, 1.2));
        p.setBrush(QColor(200, 170, 120));
        p.drawRect(QRectF(2.5, 1.5, 7, 13));
        p.setPen(pen(red, 1.8));
        p.drawLine(QPointF(6.5, 8), QPointF(14, 8));
        p.drawPolyline(QPolygonF({{11.5, 5.5}, {14, 8}, {11.5, 10.5}}));
    });
    return ok;
}

// The about box background: a pale sky with a faint grid, the device with its two serial
// ports and the Ethernet jack, and the two links leaving it. The lower part lies under the
// credits panels and stays quiet.
bool drawAboutBackground()
{
    const int w = 512, h = 445;
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0.0, QColor(236, 242, 246));
    sky.setColorAt(0.45, QColor(205, 220, 229));
    sky.setColorAt(1.0, QColor(176, 194, 206));
    p.fillRect(img.rect(), sky);

    p.setPen(QPen(QColor(255, 255, 255, 70), 1));
    for (int x = 0; x < w; x += 16)
        p.drawLine(x, 0, x, h);
    for (int y = 0; y < h; y += 16)
        p.drawLine(0, y, w, y);

    QRadialGradient glow(QPointF(256, 70), 220);
    glow.setColorAt(0.0, QColor(255, 255, 255, 150));
    glow.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.fillRect(QRect(0, 0, w, 200), glow);

    const QColor cable(58, 92, 120), pulse(40, 150, 160);
    // Serial cables from the two ports to the left edge, stepped like traces on a board.
    p.setPen(QPen(cable, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({{0, 40}, {70, 40}, {100, 58}, {168, 58}}));
    p.drawPolyline(QPolygonF({{0, 108}, {70, 108}, {100, 90}, {168, 90}}));
    p.setPen(QPen(QColor(58, 92, 120, 110), 1.5, Qt::DashLine));
    p.drawLine(QPointF(0, 48), QPointF(60, 48));
    p.drawLine(QPointF(0, 100), QPointF(60, 100));

    // Ethernet cable to the right edge with a square-wave pulse train.
    p.setPen(QPen(cable, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(346, 74), QPointF(w, 74));
    QPainterPath wave;
    wave.moveTo(362, 50);
    for (int x = 362; x < 500; x += 24) {
        wave.lineTo(x + 12, 50);
        wave.lineTo(x + 12, 38);
        wave.lineTo(x + 24, 38);
        wave.lineTo(x + 24, 50);
    }
    p.setPen(QPen(pulse, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawPath(wave);

    // The device.
    const QRectF box(168, 30, 178, 88);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawRoundedRect(box.translated(4, 5), 10, 10);
    QLinearGradient metal(box.topLeft(), box.bottomLeft());
    metal.setColorAt(0.0, QColor(96, 120, 140));
    metal.setColorAt(1.0, QColor(52, 70, 88));
    p.setBrush(metal);
    p.setPen(QPen(QColor(34, 48, 62), 1.5));
    p.drawRoundedRect(box, 10, 10);

    // Two serial ports on the left face.
    p.setBrush(QColor(30, 38, 46));
    p.setPen(QPen(QColor(170, 185, 196), 1.2));
    for (qreal y : {50.0, 82.0}) {
        p.drawPolygon(QPolygonF({{176, y}, {206, y}, {202, y + 16}, {180, y + 16}}));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 205, 210));
        for (int i = 0; i < 5; ++i)
            p.drawEllipse(QPointF(182 + i * 4.5, y + 5), 1.1, 1.1);
        for (int i = 0; i < 4; ++i)
            p.drawEllipse(QPointF(184 + i * 4.5, y + 11), 1.1, 1.1);
        p.setBrush(QColor(30, 38, 46));
        p.setPen(QPen(QColor(170, 185, 196), 1.2));
    }
    // The Ethernet jack on the right face.
    p.drawRect(QRectF(312, 60, 28, 26));
    p.setBrush(QColor(200, 170, 60));
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 6; ++i)
        p.drawRect(QRectF(316 + i * 3.6, 63, 1.6, 6));
    // Indicator lamps.
    const QColor lamps[] = {QColor(90, 220, 110), QColor(250, 190, 60), QColor(90, 220, 110)};
    for (int i = 0; i < 3; ++i) {
        p.setBrush(lamps[i]);
        p.drawEllipse(QPointF(236 + i * 16, 102), 3.2, 3.2);
    }
    // A label plate.
    p.setBrush(QColor(186, 220, 220));
    p.drawRoundedRect(QRectF(222, 46, 76, 34), 4, 4);
    p.setPen(QPen(QColor(52, 70, 88), 1.4));
    for (qreal y : {56.0, 63.0, 70.0})
        p.drawLine(QPointF(230, y), QPointF(290, y));

    // A quiet band under the title, and thin rules framing the lower area.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 60));
    p.drawRect(QRectF(0, 138, w, 60));
    p.setPen(QPen(QColor(58, 92, 120, 90), 1));
    p.drawLine(QPointF(12, 200), QPointF(w - 12, 200));
    p.drawLine(QPointF(12, 441), QPointF(w - 12, 441));
    p.end();
    return save(img, "about_back.png");
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_images <resources directory>\n");
        return 2;
    }
    g_dir = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/icons");
    const bool ok = drawGlyphs();
    g_dir = QString::fromLocal8Bit(argv[1]);
    return ok && drawAboutBackground() ? 0 : 1;
}
