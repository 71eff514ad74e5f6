#include "browser_setup/window/SignPicture.h"

#include <QPainter>
#include <QPainterPath>

namespace marvek::browser_setup {

QPixmap drawSignPicture(int size, qreal devicePixelRatio) {
    QPixmap picture(QSize(size, size) * devicePixelRatio);
    picture.setDevicePixelRatio(devicePixelRatio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 48.0;
    painter.scale(unit, unit);

    // The sheet with a folded corner.
    QPainterPath sheet;
    sheet.moveTo(8, 4);
    sheet.lineTo(30, 4);
    sheet.lineTo(38, 12);
    sheet.lineTo(38, 44);
    sheet.lineTo(8, 44);
    sheet.closeSubpath();
    painter.setPen(QPen(QColor(0x55, 0x5f, 0x6d), 1.5));
    painter.setBrush(QColor(0xfb, 0xfb, 0xf8));
    painter.drawPath(sheet);
    painter.drawPolyline(QPolygonF({QPointF(30, 4), QPointF(30, 12), QPointF(38, 12)}));

    // The text lines and the signature.
    painter.setPen(QPen(QColor(0x9a, 0xa4, 0xb0), 1.5));
    for (int line = 0; line < 4; ++line)
        painter.drawLine(QPointF(13, 16 + 5 * line), QPointF(line == 0 ? 26 : 33, 16 + 5 * line));
    QPainterPath signature;
    signature.moveTo(13, 39);
    signature.cubicTo(16, 33, 18, 42, 21, 37);
    signature.cubicTo(23, 34, 24, 40, 27, 38);
    painter.setPen(QPen(QColor(0x1f, 0x4e, 0x9c), 1.6, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(signature);

    // The pen lying across the sheet, its tip at the signature's end.
    painter.translate(27, 38);
    painter.rotate(-45);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2b, 0x2b, 0x2b));
    painter.drawPolygon(QPolygonF({QPointF(0, 0), QPointF(5, -2.5), QPointF(5, 2.5)}));
    painter.setBrush(QColor(0xc8, 0x8a, 0x1e));
    painter.drawRoundedRect(QRectF(5, -2.5, 20, 5), 1.2, 1.2);
    return picture;
}

} // namespace marvek::browser_setup
