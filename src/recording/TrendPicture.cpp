#include "recording/TrendPicture.h"

#include "recording/CycleLogReader.h"
#include "recording/PlotPaint.h"
#include "recording/PlotScale.h"

#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>

namespace {
const QColor Ink(40, 40, 40);
const QColor Grid(225, 225, 225);
const QColor Band(175, 175, 175);
const QColor Reference(110, 110, 110);

// Peak, valley and amplitude: one series each.
constexpr std::array<float TrendRow::*, 3> Series{&TrendRow::peak, &TrendRow::valley,
                                                  &TrendRow::amplitude};
constexpr std::array<unsigned, 3> SeriesColors{TrendColors::Peak, TrendColors::Valley,
                                               TrendColors::Amplitude};

struct Column {
    float min = std::numeric_limits<float>::max();
    float max = std::numeric_limits<float>::lowest();
};

// Everything the painting needs, found in one pass over the log.
struct Frame {
    QRect area;
    bool logarithmic = true;
    PlotAxis x; // over cycles, or log10 of cycles
    PlotAxis y;
    std::optional<CycleLogMark> reference;
    std::optional<CycleLogMark> failure;
    double band = 0.0; // volts either side of the reference peak and valley
    double xOf(double cycle) const {
        return x.toPixel(logarithmic ? std::log10(std::max(cycle, 1.0)) : cycle);
    }
};

std::optional<CycleLogMark> lastMark(const CycleLogReader& log, CycleLogFlag flag) {
    for (auto mark = log.marks().rbegin(); mark != log.marks().rend(); ++mark) {
        if (mark->flag == flag && mark->values)
            return *mark;
    }
    return std::nullopt;
}

Frame frameFor(const CycleLogReader& log, QSize size, bool logarithmic) {
    Frame f;
    f.area = TrendPicture::plotArea(size);
    f.logarithmic = logarithmic;
    f.reference = lastMark(log, CycleLogFlag::Reference);
    f.failure = lastMark(log, CycleLogFlag::Failure);
    double first = std::numeric_limits<double>::max();
    double last = std::numeric_limits<double>::lowest();
    double low = first;
    double high = last;
    const auto take = [&](double cycle, std::initializer_list<double> values) {
        first = std::min(first, cycle);
        last = std::max(last, cycle);
        for (const double v : values) {
            low = std::min(low, v);
            high = std::max(high, v);
        }
    };
    for (const TrendRow& r : log.rows())
        take(r.cycle, {r.peak, r.valley, r.amplitude});
    for (const CycleLogMark& m : log.marks())
        take(m.cycle, {});
    if (f.reference) {
        const CycleLogMark& r = *f.reference;
        f.band = log.header().bandPercent / 100.0 * r.amplitude;
        take(r.cycle, {r.peak + f.band, r.valley - f.band, r.amplitude});
    }
    if (log.rows().empty() && !f.reference)
        low = high = 0.0;
    if (last < first)
        first = last = 1.0;
    const auto [yMin, yMax] = PlotScale::paddedRange(low, high);
    f.y = {yMin, yMax, double(f.area.bottom()), double(f.area.top())};
    const double left = f.area.left();
    const double right = f.area.left() + f.area.width();
    if (logarithmic) {
        const double from = std::floor(std::log10(std::max(first, 1.0)));
        const double to = std::max(std::log10(std::max(last, 1.0)) + 0.04, from + 1.0);
        f.x = {from, to, left, right};
    } else {
        const double pad = std::max((last - first) * 0.02, 1.0);
        f.x = {std::max(first - pad, 0.0), last + pad, left, right};
    }
    return f;
}

void paintLegend(QPainter& p, const Frame& f) {
    QFont font = p.font();
    font.setPixelSize(12);
    p.setFont(font);
    const QString texts[] = {QStringLiteral("peak"),
                             QStringLiteral("valley"),
                             QStringLiteral("amplitude"),
                             QStringLiteral("reference (dashed) with its band"),
                             QStringLiteral("amplitude limit"),
                             QStringLiteral("N_f")};
    double x = f.area.left();
    const double y = 62;
    for (int item = 0; item < 6; ++item) {
        if (item < 3) {
            p.setPen(QPen(QColor(SeriesColors[std::size_t(item)]), 2));
            p.drawLine(QPointF(x, y), QPointF(x + 24, y));
        } else if (item == 3) {
            PlotPaint::hatch(p, QRectF(x, y - 5, 24, 10), Band);
            p.setPen(QPen(Reference, 1.2, Qt::DashLine));
            p.drawLine(QPointF(x, y), QPointF(x + 24, y));
        } else if (item == 4) {
            p.setPen(QPen(QColor(TrendColors::Amplitude), 1.2, Qt::DashDotLine));
            p.drawLine(QPointF(x, y), QPointF(x + 24, y));
        } else {
            p.setPen(QPen(QColor(TrendColors::Failure), 2));
            p.drawLine(QPointF(x + 12, y - 7), QPointF(x + 12, y + 7));
        }
        p.setPen(Ink);
        p.drawText(QPointF(x + 30, y + 4), texts[item]);
        x += 30 + p.fontMetrics().horizontalAdvance(texts[item]) + 22;
    }
}

void paintAxes(QPainter& p, const Frame& f) {
    const QRect& a = f.area;
    PlotPaint::voltAxis(p, a, f.y, Grid, Ink);
    std::vector<double> cycles;
    if (f.logarithmic) {
        cycles = PlotScale::decades(std::pow(10.0, f.x.min), std::pow(10.0, f.x.max));
        // Unlabelled ticks at 2 to 9 times each decade.
        p.setPen(Ink);
        for (double decade = std::pow(10.0, f.x.min); decade < std::pow(10.0, f.x.max);
             decade *= 10) {
            for (int k = 2; k < 10 && std::log10(k * decade) < f.x.max; ++k) {
                const double x = f.xOf(k * decade);
                p.drawLine(QPointF(x, a.bottom()), QPointF(x, a.bottom() + 3));
            }
        }
    } else {
        cycles = PlotScale::ticks(f.x.min, f.x.max, 9);
    }
    for (const double c : cycles) {
        const double x = f.xOf(c);
        p.setPen(Grid);
        p.drawLine(QPointF(x, a.top()), QPointF(x, a.bottom()));
        p.setPen(Ink);
        p.drawLine(QPointF(x, a.bottom()), QPointF(x, a.bottom() + 6));
        p.drawText(QRectF(x - 50, a.bottom() + 7, 100, 16), Qt::AlignCenter,
                   PlotScale::cycleLabel(c));
    }
    p.drawText(QRectF(a.left(), a.bottom() + 26, a.width(), 20), Qt::AlignCenter,
               f.logarithmic ? QStringLiteral("cycles (logarithmic)") : QStringLiteral("cycles"));
    p.save();
    p.translate(14, a.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-a.height() / 2.0, -10, a.height(), 20), Qt::AlignCenter,
               QStringLiteral("voltage [V]"));
    p.restore();
}

// The reference from the cycle it was taken at: peak and valley with their
// band where the criterion has one, the amplitude and its limit.
void paintReference(QPainter& p, const Frame& f, const CycleLogHeader& header) {
    if (!f.reference)
        return;
    const CycleLogMark& r = *f.reference;
    const double left = std::max(f.xOf(r.cycle), double(f.area.left()));
    const double right = f.area.right();
    for (const float value : {r.peak, r.valley}) {
        if (f.band > 0) {
            const double top = f.y.toPixel(value + f.band);
            PlotPaint::hatch(p, QRectF(left, top, right - left, f.y.toPixel(value - f.band) - top),
                             Band);
        }
    }
    p.setPen(QPen(Reference, 1.2, Qt::DashLine));
    for (const float value : {r.peak, r.valley, r.amplitude})
        p.drawLine(QPointF(left, f.y.toPixel(value)), QPointF(right, f.y.toPixel(value)));
    if (header.dropPercent > 0) {
        const double limit = f.y.toPixel(r.amplitude * (1.0 - header.dropPercent / 100.0));
        p.setPen(QPen(QColor(TrendColors::Amplitude), 1.2, Qt::DashDotLine));
        p.drawLine(QPointF(left, limit), QPointF(right, limit));
    }
}

// Per pixel column the lowest and highest value of each series: a line through
// the columns' middles, and a bar where a column spans more than a pixel.
void paintSeries(QPainter& p, const Frame& f, const std::vector<TrendRow>& rows) {
    const int width = f.area.width();
    for (std::size_t s = 0; s < Series.size(); ++s) {
        std::vector<Column> columns(static_cast<std::size_t>(width));
        for (const TrendRow& row : rows) {
            const auto at =
                std::clamp(static_cast<int>(f.xOf(row.cycle)) - f.area.left(), 0, width - 1);
            Column& c = columns[static_cast<std::size_t>(at)];
            c.min = std::min(c.min, row.*Series[s]);
            c.max = std::max(c.max, row.*Series[s]);
        }
        QPolygonF line;
        QVector<QLineF> bars;
        for (int i = 0; i < width; ++i) {
            const Column& c = columns[static_cast<std::size_t>(i)];
            if (c.max < c.min)
                continue;
            const double x = f.area.left() + i + 0.5;
            const double top = f.y.toPixel(c.max);
            const double bottom = f.y.toPixel(c.min);
            line << QPointF(x, (top + bottom) / 2);
            if (bottom - top >= 1.0)
                bars << QLineF(x, top, x, bottom);
        }
        const QColor colour(SeriesColors[s]);
        p.setPen(QPen(colour, 1.6));
        p.drawPolyline(line);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(colour, 1));
        p.drawLines(bars);
        p.setRenderHint(QPainter::Antialiasing, true);
    }
}

void paintFailure(QPainter& p, const Frame& f) {
    if (!f.failure)
        return;
    const double x = f.xOf(f.failure->cycle);
    p.setPen(QPen(QColor(TrendColors::Failure), 2));
    p.drawLine(QPointF(x, f.area.top()), QPointF(x, f.area.bottom()));
    QFont font = p.font();
    font.setPixelSize(13);
    font.setBold(true);
    p.setFont(font);
    const QString text = QStringLiteral("N_f = %1").arg(f.failure->cycle);
    const double width = p.fontMetrics().horizontalAdvance(text);
    const double textX = x + 6 + width < f.area.right() ? x + 6 : x - 6 - width;
    PlotPaint::labelOnWhite(p, QPointF(textX, f.area.top() + 18), text);
}

QString subtitle(const CycleLogReader& log, const Frame& f) {
    QString text = QStringLiteral("%1 cycle rows").arg(log.rows().size());
    if (f.reference)
        text += QStringLiteral("; reference at cycle %1: peak %2 V, valley %3 V, amplitude %4 V")
                    .arg(f.reference->cycle)
                    .arg(double(f.reference->peak), 0, 'g', 4)
                    .arg(double(f.reference->valley), 0, 'g', 4)
                    .arg(double(f.reference->amplitude), 0, 'g', 4);
    if (f.failure)
        text += QStringLiteral("; failed at N_f = %1").arg(f.failure->cycle);
    return text;
}
} // namespace

QRect TrendPicture::plotArea(QSize size) {
    constexpr int Left = 72, Right = 32, Top = 84, Bottom = 52;
    return {Left, Top, std::max(size.width() - Left - Right, 2),
            std::max(size.height() - Top - Bottom, 2)};
}

void TrendPicture::paint(QPainter& painter, QSize size) const {
    const Frame frame = frameFor(m_log, size, m_logarithmic);
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    const CycleLogHeader& header = m_log.header();
    QString title = header.test.isEmpty() ? QStringLiteral("Cycle log") : header.test;
    if (!header.criterion.isEmpty())
        title += QStringLiteral(" \u2014 failure: ") + header.criterion;
    PlotPaint::title(painter, size, title, subtitle(m_log, frame));
    paintLegend(painter, frame);
    paintAxes(painter, frame);
    painter.save();
    painter.setClipRect(frame.area);
    paintReference(painter, frame, header);
    paintSeries(painter, frame, m_log.rows());
    paintFailure(painter, frame);
    if (m_log.rows().empty()) {
        painter.setPen(Ink);
        painter.drawText(frame.area, Qt::AlignCenter, QStringLiteral("no cycles logged yet"));
    }
    painter.restore();
    painter.setPen(QPen(Ink, 1));
    painter.drawRect(frame.area);
}
