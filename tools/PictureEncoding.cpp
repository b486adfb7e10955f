#include "PictureEncoding.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

bool encodePicture(const QString& path, QSize size, const QString& title,
                   const std::function<void(QPainter&)>& paint, QByteArray& bytes) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (path.endsWith(u".svg", Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(title);
        QPainter painter(&svg);
        paint(painter);
        return painter.end();
    }
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    paint(painter);
    painter.end();
    return image.save(&buffer, "PNG");
}
