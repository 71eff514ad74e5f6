// Draws the browser's toolbar images and program picture into a folder, for the resource file:
//   imgIcon/<key>.png (normal), imgHot/<key>.png (under the mouse), imgDisable/<key>.png (disabled),
//   program.png.
// Usage: draw_toolbar_images <output folder>

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <cstdio>
#include <functional>

namespace {

constexpr int kSize = 24;

struct Palette {
    QColor fill;
    QColor outline;
    QColor accent;
    QColor paper;
};

const Palette kNormal{QColor(0x2f, 0x6f, 0xc0), QColor(0x1a, 0x3d, 0x6e), QColor(0xf2, 0xb1, 0x23),
                      QColor(0xff, 0xff, 0xff)};
const Palette kHot{QColor(0x3f, 0x95, 0xf2), QColor(0x1f, 0x55, 0x9c), QColor(0xff, 0xc9, 0x3c),
                   QColor(0xff, 0xff, 0xf0)};
const Palette kDisabled{QColor(0xb4, 0xb4, 0xb4), QColor(0x8c, 0x8c, 0x8c), QColor(0xc8, 0xc8, 0xc8),
                        QColor(0xf0, 0xf0, 0xf0)};

void drawArrow(QPainter& p, const Palette& c, bool pointsLeft) {
    QPainterPath arrow;
    arrow.moveTo(3, 12);
    arrow.lineTo(11, 4);
    arrow.lineTo(11, 8.5);
    arrow.lineTo(21, 8.5);
    arrow.lineTo(21, 15.5);
    arrow.lineTo(11, 15.5);
    arrow.lineTo(11, 20);
    arrow.closeSubpath();
    if (!pointsLeft)
        arrow = QTransform(-1, 0, 0, 1, kSize, 0).map(arrow);
    p.setPen(QPen(c.outline, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(c.fill);
    p.drawPath(arrow);
}

void drawPrinter(QPainter& p, const Palette& c) {
    p.setPen(QPen(c.outline, 1.0));
    p.setBrush(c.paper);
    p.drawRect(QRectF(7, 3, 10, 7)); // sheet going in
    p.setBrush(c.fill);
    p.drawRoundedRect(QRectF(3, 9, 18, 8), 2, 2); // body
    p.setBrush(c.paper);
    p.drawRect(QRectF(6.5, 14, 11, 7)); // printed sheet
    p.setPen(QPen(c.outline, 0.8));
    p.drawLine(QPointF(8.5, 16.5), QPointF(15.5, 16.5));
    p.drawLine(QPointF(8.5, 18.5), QPointF(13.5, 18.5));
    p.setPen(Qt::NoPen);
    p.setBrush(c.accent);
    p.drawEllipse(QPointF(18, 11.5), 1.1, 1.1);
}

void drawBookmark(QPainter& p, const Palette& c) {
    // An open book with a ribbon.
    QPainterPath left;
    left.moveTo(12, 6);
    left.cubicTo(9, 4, 5, 4, 2, 5);
    left.lineTo(2, 19);
    left.cubicTo(5, 18, 9, 18, 12, 20);
    left.closeSubpath();
    const QPainterPath right = QTransform(-1, 0, 0, 1, kSize, 0).map(left);
    p.setPen(QPen(c.outline, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(c.paper);
    p.drawPath(left);
    p.drawPath(right);
    p.setPen(QPen(c.fill, 0.9));
    for (int y = 8; y <= 15; y += 3) {
        p.drawLine(QPointF(4, y), QPointF(10, y + 0.8));
        p.drawLine(QPointF(14, y + 0.8), QPointF(20, y));
    }
    QPainterPath ribbon;
    ribbon.moveTo(15, 4.5);
    ribbon.lineTo(19, 4.2);
    ribbon.lineTo(19, 13);
    ribbon.lineTo(17, 11);
    ribbon.lineTo(15, 13);
    ribbon.closeSubpath();
    p.setPen(QPen(c.outline, 0.8));
    p.setBrush(c.accent);
    p.drawPath(ribbon);
}

void drawVersion(QPainter& p, const Palette& c) {
    p.setPen(QPen(c.outline, 1.2));
    p.setBrush(c.fill);
    p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
    p.setPen(Qt::NoPen);
    p.setBrush(c.paper);
    p.drawEllipse(QPointF(12, 7.2), 1.7, 1.7);
    p.drawRoundedRect(QRectF(10.5, 10, 3, 8.5), 1, 1);
}

void drawProgram(QPainter& p) {
    p.scale(2.0, 2.0);
    p.setPen(QPen(kNormal.outline, 1.0));
    p.setBrush(kNormal.fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, 23, 23), 4, 4);
    drawBookmark(p, Palette{kNormal.fill, kNormal.outline, kNormal.accent, QColor(0xff, 0xff, 0xff)});
}

bool save(const QString& folder, const QString& name, int size, const std::function<void(QPainter&)>& draw) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter);
    }
    const QString path = folder + QLatin1Char('/') + name;
    QDir().mkpath(QFileInfo(path).absolutePath());
    return image.save(path, "PNG");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_toolbar_images <output folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    struct List {
        const char* name;
        const Palette* palette;
    };
    const List lists[] = {{"imgIcon", &kNormal}, {"imgHot", &kHot}, {"imgDisable", &kDisabled}};
    bool ok = true;
    for (const List& list : lists) {
        const Palette& c = *list.palette;
        const QString dir = QString::fromLatin1(list.name) + QLatin1Char('/');
        ok = save(folder, dir + QStringLiteral("back.png"), kSize,
                  [&](QPainter& p) { drawArrow(p, c, true); }) &&
             ok;
        ok = save(folder, dir + QStringLiteral("forward.png"), kSize,
                  [&](QPainter& p) { drawArrow(p, c, false); }) &&
             ok;
        ok =
            save(folder, dir + QStringLiteral("print.png"), kSize, [&](QPainter& p) { drawPrinter(p, c); }) &&
            ok;
        ok = save(folder, dir + QStringLiteral("bookmark.png"), kSize,
                  [&](QPainter& p) { drawBookmark(p, c); }) &&
             ok;
        ok = save(folder, dir + QStringLiteral("version.png"), kSize,
                  [&](QPainter& p) { drawVersion(p, c); }) &&
             ok;
    }
    ok = save(folder, QStringLiteral("program.png"), 2 * kSize, drawProgram) && ok;
    if (!ok) {
        std::fprintf(stderr, "draw_toolbar_images: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
