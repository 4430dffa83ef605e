#include "app_icon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace jilan::ui {

namespace {

constexpr qreal kGrid = 256.0;

QPolygonF polygon(std::initializer_list<QPointF> points) {
    return QPolygonF(QList<QPointF>(points));
}

}  // namespace

QImage paintAppIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / kGrid, size / kGrid);
    p.setPen(Qt::NoPen);

    // Sky.
    QLinearGradient sky(0, 8, 0, 248);
    sky.setColorAt(0.0, QColor(0x2b, 0x8f, 0xd6));
    sky.setColorAt(1.0, QColor(0x0d, 0x4a, 0x80));
    p.setBrush(sky);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 44, 44);

    // Sun breaking through.
    p.setBrush(QColor(0xff, 0xd3, 0x6b));
    p.drawEllipse(QPointF(184, 70), 26, 26);

    // Peaks.
    p.setBrush(QColor(0x9b, 0xd6, 0xf2));
    p.drawPolygon(polygon({{20, 196}, {92, 92}, {138, 150}, {176, 112}, {236, 196}}));

    // Mist across the slopes.
    p.setBrush(QColor(255, 255, 255, 180));
    p.drawRoundedRect(QRectF(36, 146, 184, 16), 8, 8);

    // The tray the names fall into.
    p.setBrush(QColor(0xff, 0xff, 0xff));
    QPainterPath tray;
    tray.addRoundedRect(QRectF(48, 196, 160, 32), 10, 10);
    p.drawPath(tray);
    p.setBrush(QColor(0x0d, 0x4a, 0x80));
    p.drawRoundedRect(QRectF(76, 204, 104, 8), 4, 4);

    // The arrow.
    p.setBrush(QColor(0xff, 0xb3, 0x2b));
    p.drawRoundedRect(QRectF(114, 104, 28, 64), 6, 6);
    p.drawPolygon(polygon({{88, 160}, {168, 160}, {128, 204}}));

    p.end();
    return image;
}

QIcon appIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 256}) {
        icon.addPixmap(QPixmap::fromImage(paintAppIcon(size)));
    }
    return icon;
}

}  // namespace jilan::ui
