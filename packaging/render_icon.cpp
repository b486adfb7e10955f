// Renders the program's SVG icon as PNG files of the given sizes, for the icon
// themes of desktops that do not draw SVG themselves.
// Usage: render_icon ICON.svg OUTPUT_FOLDER SIZE...  (writes OUTPUT_FOLDER/SIZE.png)
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv) {
    // Painting into an image needs no display; the icon has no text.
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    QSvgRenderer renderer(arguments.value(1));
    if (arguments.size() < 4 || !renderer.isValid()) {
        std::fputs("usage: render_icon ICON.svg OUTPUT_FOLDER SIZE...\n", stderr);
        return 2;
    }
    for (const QString& size : arguments.mid(3)) {
        const int pixels = size.toInt();
        QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        const QString path = arguments[2] + u'/' + size + QStringLiteral(".png");
        if (pixels < 1 || !image.save(path, "PNG")) {
            std::fprintf(stderr, "render_icon: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
