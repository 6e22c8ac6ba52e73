#include "app/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace pw::app {
namespace {

QPixmap Draw(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    p.setPen(QPen(QColor(0x6b, 0x4f, 0x2a), 3));
    p.setBrush(QColor(0xf4, 0xf1, 0xe8));
    p.drawRoundedRect(QRectF(6, 4, 44, 56), 4, 4);
    p.setPen(QPen(QColor(0x8a, 0x6d, 0x45), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QLineF(14, 18, 42, 18));
    p.drawLine(QLineF(14, 28, 42, 28));
    p.drawLine(QLineF(14, 38, 32, 38));
    QPainterPath pen;
    pen.moveTo(34, 58);
    pen.lineTo(40, 44);
    pen.lineTo(54, 30);
    pen.lineTo(60, 36);
    pen.lineTo(46, 50);
    pen.closeSubpath();
    p.setPen(QPen(QColor(0x6b, 0x1f, 0x16), 2));
    p.setBrush(QColor(0xc0, 0x39, 0x2b));
    p.drawPath(pen);
    return pixmap;
}

}  // namespace

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(Draw(size));
    return icon;
}

}  // namespace pw::app
