#include "dialogs/DevicePicture.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {
constexpr int Sockets = 8;

// The cable leaves the right side of the box and runs down to its plug.
void drawCable(QPainter& painter, const QRectF& side, const QRectF& area, const QPalette& palette) {
    const QPointF start(side.center().x(), side.center().y());
    const QPointF end(area.right() - area.width() * 0.06, area.bottom() - area.height() * 0.14);
    QPainterPath cable(start);
    cable.cubicTo(start + QPointF(area.width() * 0.1, 0.0),
                  end - QPointF(0.0, area.height() * 0.25), end);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(
        QPen(palette.color(QPalette::Shadow), area.height() * 0.035, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(cable);
    const QSizeF plug(area.width() * 0.07, area.height() * 0.12);
    painter.setPen(QPen(palette.color(QPalette::Shadow), 1.0));
    painter.setBrush(palette.color(QPalette::Mid));
    painter.drawRect(QRectF(end - QPointF(plug.width() / 2, 0.0), plug));
}

void drawSockets(QPainter& painter, const QRectF& row, const QPalette& palette) {
    const qreal pitch = row.width() / Sockets;
    const qreal radius = std::min(pitch * 0.36, row.height() * 0.45);
    for (int i = 0; i < Sockets; ++i) {
        const QPointF centre(row.left() + pitch * (i + 0.5), row.center().y());
        painter.setPen(QPen(palette.color(QPalette::Shadow), 1.0));
        painter.setBrush(palette.color(QPalette::Midlight));
        painter.drawEllipse(centre, radius, radius);
        painter.setBrush(palette.color(QPalette::Shadow));
        painter.drawEllipse(centre, radius * 0.38, radius * 0.38);
    }
}

// Top and right faces, drawn behind the front so that the box has depth.
void drawBody(QPainter& painter, const QRectF& front, qreal depth, const QPalette& palette) {
    const QPointF back(depth, -depth);
    const QPolygonF top{front.topLeft(), front.topLeft() + back, front.topRight() + back,
                        front.topRight()};
    const QPolygonF side{front.topRight(), front.topRight() + back, front.bottomRight() + back,
                         front.bottomRight()};
    painter.setPen(
        QPen(palette.color(QPalette::Shadow), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
    painter.setBrush(palette.color(QPalette::Light));
    painter.drawPolygon(top);
    painter.setBrush(palette.color(QPalette::Mid));
    painter.drawPolygon(side);
    painter.setBrush(palette.color(QPalette::Button));
    painter.drawRect(front);
}
} // namespace

QPixmap DevicePicture::draw(const QSize& size, const QPalette& palette, qreal pixelRatio) {
    QPixmap picture(size * pixelRatio);
    picture.setDevicePixelRatio(pixelRatio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF area(0.0, 0.0, size.width(), size.height());
    const qreal depth = area.height() * 0.14;
    const QRectF front(1.5, depth + 1.5, area.width() * 0.74, area.height() * 0.62);
    const QRectF side(front.right(), front.top() - depth, depth, front.height());
    drawCable(painter, side, area, palette);
    drawBody(painter, front, depth, palette);

    // The name plate and the lamp above the row of input sockets.
    const QRectF plate(front.left() + front.width() * 0.07, front.top() + front.height() * 0.14,
                       front.width() * 0.46, front.height() * 0.28);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette.color(QPalette::Dark));
    painter.drawRoundedRect(plate, 2.0, 2.0);
    QFont font = painter.font();
    font.setPixelSize(std::max(6, static_cast<int>(plate.height() * 0.78)));
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(palette.color(QPalette::Light));
    painter.drawText(plate, Qt::AlignCenter, QStringLiteral("A/D"));
    const qreal lamp = front.height() * 0.07;
    painter.setPen(QPen(palette.color(QPalette::Shadow), 0.8));
    painter.setBrush(palette.color(QPalette::Highlight));
    painter.drawEllipse(QPointF(front.right() - front.width() * 0.12, plate.center().y()), lamp,
                        lamp);

    const QRectF sockets(front.left() + front.width() * 0.05, front.top() + front.height() * 0.56,
                         front.width() * 0.9, front.height() * 0.3);
    drawSockets(painter, sockets, palette);
    return picture;
}
