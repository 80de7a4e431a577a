#include "survey/MarkImages.h"

#include <QBitmap>
#include <QPainter>
#include <QRadialGradient>

namespace survey {

namespace {

// Paints on the transparent colour, then turns that colour into a mask.
QPixmap masked(QImage image, QColor transparent) {
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setMask(pixmap.createMaskFromColor(transparent, Qt::MaskInColor));
    return pixmap;
}

QPixmap ball(QColor color) {
    QImage image(18, 18, QImage::Format_RGB32);
    const QColor transparent(0, 0, 255);
    image.fill(transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(128, 128, 128));  // shadow
    p.drawEllipse(QRect(4, 4, 13, 13));
    QRadialGradient shade(QPointF(7, 7), 8);
    shade.setColorAt(0, color.lighter(140));
    shade.setColorAt(1, color.darker(120));
    p.setBrush(shade);
    p.setPen(QPen(color.darker(250), 1));
    p.drawEllipse(QRect(2, 2, 12, 12));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);  // highlight
    p.drawEllipse(QRect(5, 5, 3, 3));
    p.end();
    return masked(image, transparent);
}

}  // namespace

QPixmap restrictionMark() { return ball(QColor(220, 0, 0)); }
QPixmap intoleranceMark() { return ball(QColor(240, 220, 0)); }

QPixmap interactionMark() {
    QImage image(16, 16, QImage::Format_RGB32);
    const QColor transparent(128, 128, 0);
    image.fill(transparent);
    QPainter p(&image);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRect(1, 3, 13, 9), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 0, 255));
    for (int x : {3, 7, 11}) p.drawEllipse(QRect(x - 1, 5, 3, 2));
    for (int x : {3, 7, 11}) p.drawEllipse(QRect(x - 1, 9, 3, 2));
    p.end();
    return masked(image, transparent);
}

} // namespace survey
