#include "PlotPainter.h"

#include "recording/PlotPaint.h"
#include "recording/PlotScale.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace {
const QColor Ink(40, 40, 40);
const QColor Grid(225, 225, 225);
const QColor Band(150, 150, 150);

struct Frame {
    QRect area;
    PlotAxis x;
    PlotAxis y;
    PlotAxis count;
    const PlotPicture* picture;
    const PlotColumns* columns;
    // The x stretch of column `i`, in seconds.
    double columnStart(int i) const { return columns->origin() + i * columns->span(); }
    std::pair<int, int> pixels(int i) const {
        return PlotScale::pixelColumns(x, columnStart(i), columnStart(i + 1));
    }
};

Frame frameFor(QSize size, const PlotPicture& picture) {
    Frame frame;
    frame.picture = &picture;
    frame.columns = picture.columns;
    frame.area = PlotScale::plotArea(size);
    const QRect& a = frame.area;
    frame.x = {picture.xFrom, picture.xTo, double(a.left()), double(a.left() + a.width())};
    // The voltage axis shows the signal, and the threshold with its band
    // where that does not squash the signal; without a sample, the threshold.
    const double edge = picture.maxima ? picture.threshold - picture.hysteresis
                                       : picture.threshold + picture.hysteresis;
    double low = std::min(edge, double(picture.threshold));
    double high = std::max(edge, double(picture.threshold));
    bool any = false;
    for (int i = 0; i < picture.columns->used(); ++i) {
        const PlotColumns::Column& c = picture.columns->at(i);
        if (c.samples > 0) {
            low = any ? std::min(low, double(c.min)) : c.min;
            high = any ? std::max(high, double(c.max)) : c.max;
            any = true;
        }
    }
    const auto [yMin, yMax] = PlotScale::voltageRange(low, high, picture.threshold, edge);
    frame.y = {yMin, yMax, double(a.bottom()), double(a.top())};
    const int32_t top = std::max(picture.endCycle, picture.startCycle + 1);
    frame.count = {double(picture.startCycle), double(top), double(a.bottom()), double(a.top())};
    return frame;
}

// The sample of legend item `item`, 24 pixels wide from `at`.
void paintGlyph(QPainter& p, int item, QPointF at, bool maxima) {
    const double x = at.x();
    const double y = at.y();
    switch (item) {
    case 0:
        p.setPen(QPen(QColor(PlotColors::Signal), 1));
        p.drawLine(QPointF(x, y), QPointF(x + 24, y));
        break;
    case 1:
        p.setPen(QPen(Qt::black, 1, Qt::DashLine));
        p.drawLine(QPointF(x, y), QPointF(x + 24, y));
        break;
    case 2:
        PlotPaint::hatch(p, QRectF(x, y - 5, 24, 10), Band);
        break;
    case 3:
        p.setPen(Qt::black);
        p.setBrush(QColor(PlotColors::Extremum));
        PlotPaint::triangle(p, QPointF(x + 12, maxima ? y + 5 : y - 5), !maxima, 10);
        break;
    case 4:
        p.setPen(QPen(QColor(PlotColors::Trigger), 1.5, Qt::DashDotLine));
        p.drawLine(QPointF(x + 12, y - 7), QPointF(x + 12, y + 7));
        p.setPen(Qt::black);
        p.setBrush(QColor(PlotColors::Trigger));
        PlotPaint::diamond(p, QPointF(x + 12, y), 4);
        break;
    default:
        p.setPen(QPen(QColor(PlotColors::Count), 2, Qt::DotLine));
        p.drawLine(QPointF(x, y), QPointF(x + 24, y));
    }
    p.setBrush(Qt::NoBrush);
}

void paintLegend(QPainter& p, const Frame& f) {
    QFont font = p.font();
    font.setPixelSize(12);
    p.setFont(font);
    const bool maxima = f.picture->maxima;
    const QString texts[] = {
        QStringLiteral("signal (min-max per column)"),
        QStringLiteral("threshold"),
        QStringLiteral("hysteresis band"),
        maxima ? QStringLiteral("counted maximum (a number: how many in one column)")
               : QStringLiteral("counted minimum (a number: how many in one column)"),
        QStringLiteral("trigger, cycle"),
        QStringLiteral("cycle count (right axis)")};
    double x = f.area.left();
    double y = 60;
    for (int item = 0; item < 6; ++item) {
        const int width = 30 + p.fontMetrics().horizontalAdvance(texts[item]);
        // Items flow into a second row when the picture is narrow.
        if (x > f.area.left() && x + width > f.area.right()) {
            x = f.area.left();
            y += 18;
        }
        paintGlyph(p, item, QPointF(x, y), maxima);
        p.setPen(Ink);
        p.drawText(QPointF(x + 30, y + 4), texts[item]);
        x += width + 22;
    }
}

void paintAxes(QPainter& p, const Frame& f, const QString& xLabel) {
    const QRect& a = f.area;
    PlotPaint::voltAxis(p, a, f.y, Grid, Ink);
    const std::vector<double> times = PlotScale::ticks(f.x.min, f.x.max, 11);
    const std::vector<double> cycles = PlotScale::ticks(f.count.min, f.count.max, 9);
    const auto step = [](const std::vector<double>& t) { return t.size() > 1 ? t[1] - t[0] : 1.0; };
    for (const double t : times) {
        const double x = f.x.toPixel(t);
        p.drawLine(QPointF(x, a.bottom()), QPointF(x, a.bottom() + 5));
        p.drawText(QRectF(x - 60, a.bottom() + 6, 120, 16), Qt::AlignCenter,
                   PlotScale::tickLabel(t, step(times)));
    }
    for (const double c : cycles) {
        if (std::floor(c) != c)
            continue;
        const double y = f.count.toPixel(c);
        p.drawLine(QPointF(a.right(), y), QPointF(a.right() + 5, y));
        p.drawText(QRectF(a.right() + 8, y - 8, 76, 16), Qt::AlignLeft | Qt::AlignVCenter,
                   PlotScale::tickLabel(c, 1.0));
    }
    p.setPen(QPen(Ink, 1));
    p.drawRect(a);
    p.drawText(QRectF(a.left(), a.bottom() + 24, a.width(), 20), Qt::AlignCenter, xLabel);
    p.save();
    p.translate(16, a.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-a.height() / 2.0, -10, a.height(), 20), Qt::AlignCenter,
               QStringLiteral("voltage [V]"));
    p.restore();
    p.save();
    p.translate(a.right() + 72, a.center().y());
    p.rotate(90);
    p.drawText(QRectF(-a.height() / 2.0, -10, a.height(), 20), Qt::AlignCenter,
               QStringLiteral("cycle count"));
    p.restore();
}

void paintThreshold(QPainter& p, const Frame& f) {
    const PlotPicture& picture = *f.picture;
    // The band where a peak at the threshold is confirmed: the signal must
    // come back past it by the hysteresis.
    const double edge = picture.maxima ? picture.threshold - picture.hysteresis
                                       : picture.threshold + picture.hysteresis;
    const double y1 = f.y.toPixel(picture.threshold);
    const double y2 = f.y.toPixel(edge);
    const QRectF band(f.area.left(), std::min(y1, y2), f.area.width(), std::fabs(y2 - y1));
    PlotPaint::hatch(p, band, Band);
    p.setPen(QPen(Qt::black, 1, Qt::DashLine));
    p.drawLine(QPointF(f.area.left(), y1), QPointF(f.area.right(), y1));
    if (picture.threshold >= f.y.min && picture.threshold <= f.y.max)
        return;
    // Off the scale: an arrow at the edge it lies beyond, with its value.
    const bool above = picture.threshold > f.y.max;
    const double tip = above ? f.area.top() + 2.0 : f.area.bottom() - 2.0;
    const double tail = above ? tip + 26.0 : tip - 26.0;
    const double x = f.area.left() + 14.0;
    p.setPen(QPen(Qt::black, 1.5));
    p.drawLine(QPointF(x, tail), QPointF(x, tip));
    p.setBrush(Qt::black);
    PlotPaint::triangle(p, QPointF(x, tip), above, 7);
    p.setBrush(Qt::NoBrush);
    QFont font = p.font();
    font.setPixelSize(12);
    p.setFont(font);
    // On white, so that the signal behind it does not hide it.
    const QString text =
        QStringLiteral("threshold %1 V (off scale)").arg(double(picture.threshold));
    const QRectF box(x + 6, (tip + tail) / 2.0 - 8.0, p.fontMetrics().horizontalAdvance(text) + 4,
                     16);
    p.fillRect(box, Qt::white);
    p.setPen(Ink);
    p.drawText(box, Qt::AlignCenter, text);
}

// How many empty columns in a row are only the spacing of the samples (more
// columns than samples), not a gap in the history: up to twice the average
// spacing of the samples shown.
int joinableEmptyColumns(const PlotColumns& columns) {
    int first = -1;
    int last = -1;
    int64_t samples = 0;
    for (int i = 0; i < columns.used(); ++i) {
        if (columns.at(i).samples == 0)
            continue;
        first = first < 0 ? i : first;
        last = i;
        samples += columns.at(i).samples;
    }
    if (samples < 2)
        return 0;
    return static_cast<int>(2.0 * (last - first + 1) / static_cast<double>(samples - 1));
}

// Dense columns are drawn as min-max bars joined to the sample before, so a
// single-sample spike keeps its pixel; wide columns as a line through them.
// Neighbouring columns are joined by the last and first samples, also across
// the empty columns between sparse samples; a longer gap stays empty.
void paintSignal(QPainter& p, const Frame& f) {
    const PlotColumns& columns = *f.columns;
    const bool dense = f.pixels(0).second - f.pixels(0).first < 2;
    const int joinable = joinableEmptyColumns(columns);
    p.setRenderHint(QPainter::Antialiasing, !dense);
    p.setPen(QPen(QColor(PlotColors::Signal), 1));
    const PlotColumns::Column* previous = nullptr;
    int previousIndex = 0;
    QPointF last;
    for (int i = 0; i < columns.used(); ++i) {
        const PlotColumns::Column& c = columns.at(i);
        if (c.samples == 0)
            continue;
        if (previous && i - previousIndex - 1 > joinable)
            previous = nullptr; // a gap in the history stays empty
        const auto [first, lastPixel] = f.pixels(i);
        const double x = dense ? first : (first + lastPixel + 1) / 2.0;
        if (previous)
            p.drawLine(last, QPointF(x, f.y.toPixel(c.first)));
        if (dense) {
            const float low = previous ? std::min(c.min, previous->last) : c.min;
            const float high = previous ? std::max(c.max, previous->last) : c.max;
            // Whole pixels, at least one, even where low and high are equal.
            const int top = static_cast<int>(std::floor(f.y.toPixel(high)));
            const int bottom = static_cast<int>(std::floor(f.y.toPixel(low)));
            p.fillRect(QRect(first, top, lastPixel - first + 1, bottom - top + 1),
                       QColor(PlotColors::Signal));
        } else {
            p.drawLine(QPointF(x, f.y.toPixel(c.min)), QPointF(x, f.y.toPixel(c.max)));
        }
        last = QPointF(dense ? lastPixel : x, f.y.toPixel(c.last));
        previous = &c;
        previousIndex = i;
    }
    p.setRenderHint(QPainter::Antialiasing, true);
}

void paintCount(QPainter& p, const Frame& f) {
    p.setPen(QPen(QColor(PlotColors::Count), 2, Qt::DotLine));
    int32_t cycle = f.picture->startCycle;
    QPointF from(f.area.left(), f.count.toPixel(cycle));
    for (int i = 0; i < f.columns->used(); ++i) {
        const int32_t next = f.columns->at(i).cycle;
        if (next < 0 || next == cycle)
            continue;
        const double x = f.pixels(i).first;
        const double y = f.count.toPixel(next);
        p.drawLine(from, QPointF(x, from.y()));
        p.drawLine(QPointF(x, from.y()), QPointF(x, y));
        cycle = next;
        from = QPointF(x, y);
    }
    p.drawLine(from, QPointF(f.area.right(), from.y()));
}
} // namespace

namespace {
void paintExtrema(QPainter& p, const Frame& f) {
    QFont font = p.font();
    font.setPixelSize(10);
    p.setFont(font);
    PlotPaint::LabelRow row;
    const bool up = f.picture->maxima;
    for (int i = 0; i < f.columns->used(); ++i) {
        const PlotColumns::Column& c = f.columns->at(i);
        if (c.extrema == 0)
            continue;
        const auto [first, last] = f.pixels(i);
        const QPointF tip((first + last + 1) / 2.0, f.y.toPixel(c.extreme) + (up ? -1 : 1));
        p.setPen(QPen(Qt::black, 0.8));
        p.setBrush(QColor(PlotColors::Extremum));
        // The triangle stands beyond the peak, pointing at it.
        PlotPaint::triangle(p, tip, !up, 8);
        if (c.extrema > 1) {
            const QString text = QString::number(c.extrema);
            const double width = p.fontMetrics().horizontalAdvance(text);
            if (row.fits(tip.x() - width / 2, width)) {
                p.setPen(Ink);
                p.drawText(QPointF(tip.x() - width / 2, tip.y() + (up ? -11 : 19)), text);
            }
        }
    }
    p.setBrush(Qt::NoBrush);
}

// The lines go behind the signal, so that a run with a trigger in every
// column still shows its signal; diamonds and cycle numbers go on top.
void paintTriggers(QPainter& p, const Frame& f, bool lines) {
    QFont font = p.font();
    font.setPixelSize(10);
    p.setFont(font);
    PlotPaint::LabelRow row;
    for (int i = 0; i < f.columns->used(); ++i) {
        const PlotColumns::Column& c = f.columns->at(i);
        if (c.triggers == 0)
            continue;
        const auto [first, last] = f.pixels(i);
        const double x = (first + last + 1) / 2.0;
        if (lines) {
            p.setPen(QPen(QColor(PlotColors::Trigger), 1, Qt::DashDotLine));
            p.drawLine(QPointF(x, f.area.top() + 6), QPointF(x, f.area.bottom()));
            continue;
        }
        p.setPen(QPen(Qt::black, 0.8));
        p.setBrush(QColor(PlotColors::Trigger));
        PlotPaint::diamond(p, QPointF(x, f.area.top() + 6), 4);
        QString text = QString::number(c.firstTrigger);
        if (c.triggers > 1)
            text += QStringLiteral("-%1 (%2)").arg(c.lastTrigger).arg(c.triggers);
        const double width = p.fontMetrics().horizontalAdvance(text);
        if (row.fits(x + 5, width)) {
            p.setPen(QColor(PlotColors::Trigger).darker(130));
            p.drawText(QPointF(x + 5, f.area.top() + 10), text);
        }
    }
    p.setBrush(Qt::NoBrush);
}
} // namespace

void paintPlot(QPainter& painter, QSize size, const PlotPicture& picture) {
    const Frame frame = frameFor(size, picture);
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    PlotPaint::title(painter, size, picture.title, picture.subtitle);
    paintLegend(painter, frame);
    paintAxes(painter, frame, QStringLiteral("time [s]"));
    painter.save();
    painter.setClipRect(frame.area);
    paintThreshold(painter, frame);
    paintTriggers(painter, frame, true);
    if (!picture.columns->empty())
        paintSignal(painter, frame);
    paintCount(painter, frame);
    paintExtrema(painter, frame);
    paintTriggers(painter, frame, false);
    if (picture.watch.shown)
        paintWatchMarks(painter, frame.area, frame.x, frame.y, picture.watch);
    painter.restore();
    painter.setPen(QPen(Ink, 1));
    painter.drawRect(frame.area);
}
