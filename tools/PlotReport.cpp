#include "PlotReport.h"

#include "OfflineWatch.h"
#include "OutputFile.h"
#include "PictureEncoding.h"
#include "PlotPainter.h"
#include "recording/PlotScale.h"

#include <QFileInfo>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
QString settingsLine(const CountOptions& o) {
    const CountingState& s = o.state;
    QString line = QStringLiteral("counting %1 past %2 V, hysteresis %3 V, %4 %5 per cycle")
                       .arg(s.CountMode == CountedExtrema::Minima ? "minima" : "maxima")
                       .arg(double(s.Threshold))
                       .arg(double(s.Hysteresis))
                       .arg(s.ExtremaPerCycle)
                       .arg(s.ExtremaPerCycle == 1 ? "extremum" : "extrema");
    if (s.TriggerEnabled)
        line += QStringLiteral("; triggers: %1, profile %2, delay %3 ms")
                    .arg(triggerSourceName(s.TriggerSource), profileText(s))
                    .arg(s.TriggerDelayMs);
    else
        line += QStringLiteral("; triggers off");
    if (o.reader.timeColumn > 0)
        line += QStringLiteral("; times from column %1").arg(o.reader.timeColumn);
    else if (o.rate > 0.0)
        line += QStringLiteral("; %1 samples a second").arg(o.rate);
    else
        line += QStringLiteral("; %1 ms per sample").arg(o.intervalMs);
    return line;
}
} // namespace

PlotReport::PlotReport(const CountOptions& options, const QString& title, const OfflineWatch* watch)
    : m_options(options), m_title(title), m_subtitle(settingsLine(options)), m_watch(watch),
      m_columns(PlotScale::plotArea(options.plotSize).width(),
                options.state.CountMode != CountedExtrema::Minima),
      m_startCycle(options.state.CycleCount), m_endCycle(options.state.CycleCount) {
    const bool timed = options.reader.timeColumn > 0;
    const auto seconds = [&](const PlotBound& bound) {
        return bound.unit == PlotBound::Unit::Second ? bound.value
                                                     : bound.value * options.sampleSeconds();
    };
    for (const auto& [bound, index, time] : {std::tuple(options.from, &m_fromIndex, &m_fromSeconds),
                                             std::tuple(options.to, &m_toIndex, &m_toSeconds)}) {
        if (bound.unit == PlotBound::Unit::Sample)
            *index = static_cast<int64_t>(bound.value);
        else if (bound.unit == PlotBound::Unit::Second)
            *time = bound.value;
        m_windowed = m_windowed || bound.unit != PlotBound::Unit::None;
    }
    // Where both ends are known as times, the columns divide the stretch at
    // once; otherwise they grow with the history.
    const auto known = [&](const PlotBound& b) {
        return b.unit == PlotBound::Unit::Second || (b.unit == PlotBound::Unit::Sample && !timed);
    };
    if (known(options.from) && known(options.to)) {
        m_fixedRange = true;
        m_firstX = seconds(options.from);
        m_lastX = seconds(options.to);
        m_columns.setRange(m_firstX, m_lastX);
    }
}

PlotReport::~PlotReport() = default;

bool PlotReport::open(QString& error) {
    m_file = std::make_unique<OutputFile>(m_options.plotPath);
    QString reason;
    if (m_file->open(reason))
        return true;
    error = QStringLiteral("cannot create the picture %1: %2").arg(m_options.plotPath, reason);
    return false;
}

void PlotReport::addSamples(const float* values, const double* times, size_t count,
                            int64_t firstIndex) {
    if (count == 0)
        return;
    const double* xs = times;
    if (times && m_options.timeUnitSeconds != 1.0) {
        m_xs.resize(count);
        for (size_t i = 0; i < count; ++i)
            m_xs[i] = times[i] * m_options.timeUnitSeconds;
        xs = m_xs.data();
    }
    const double dx = m_options.sampleSeconds();
    const double x0 = static_cast<double>(firstIndex) * dx;
    if (m_windowed) {
        addFiltered(values, xs, x0, dx, count, firstIndex);
        return;
    }
    if (xs)
        m_columns.addSamples(xs, values, count);
    else
        m_columns.addSamples(x0, dx, values, count);
    if (!m_anySample)
        m_firstX = xs ? xs[0] : x0;
    m_anySample = true;
    m_lastX = xs ? xs[count - 1] : x0 + static_cast<double>(count - 1) * dx;
}

void PlotReport::addFiltered(const float* values, const double* xs, double x0, double dx,
                             size_t count, int64_t firstIndex) {
    for (size_t i = 0; i < count; ++i) {
        const int64_t index = firstIndex + static_cast<int64_t>(i);
        const double x = xs ? xs[i] : x0 + static_cast<double>(i) * dx;
        if (!inside(index, x))
            continue;
        m_columns.addSample(x, values[i]);
        if (!m_fixedRange && !m_anySample)
            m_firstX = x;
        if (!m_fixedRange)
            m_lastX = x;
        m_anySample = true;
    }
}

void PlotReport::extremum(const ExtremumEvent& event) {
    if (!event.counted)
        return;
    if (inside(event.peakIndex, event.peakSeconds))
        m_columns.addExtremum(event.peakSeconds, event.value);
    // The count steps where the extremum is confirmed.
    if (before(event.index, event.seconds)) {
        m_startCycle = m_endCycle = event.cycle;
    } else if (inside(event.index, event.seconds)) {
        m_columns.addCount(event.seconds, event.cycle);
        m_endCycle = event.cycle;
    }
}

void PlotReport::trigger(const TriggerEvent& event) {
    if (inside(event.index, event.seconds))
        m_columns.addTrigger(event.seconds, event.cycle);
}

PlotPicture PlotReport::picture() const {
    PlotPicture picture;
    picture.columns = &m_columns;
    picture.xFrom = m_firstX;
    picture.xTo = m_lastX;
    if (!(picture.xTo > picture.xFrom)) {
        // One sample, or none in the stretch: a second around it.
        picture.xFrom -= 0.5;
        picture.xTo = picture.xFrom + 1.0;
    }
    picture.threshold = m_options.state.Threshold;
    picture.hysteresis = m_options.state.Hysteresis;
    picture.maxima = m_options.state.CountMode != CountedExtrema::Minima;
    picture.startCycle = m_startCycle;
    picture.endCycle = m_endCycle;
    picture.title = m_title;
    picture.subtitle = m_subtitle;
    picture.watch = watchMarks();
    return picture;
}

PlotWatchMarks PlotReport::watchMarks() const {
    PlotWatchMarks marks;
    if (!m_watch)
        return marks;
    marks.shown = true;
    const WatchState& s = m_watch->state();
    marks.reference = s.reference.taken;
    marks.referenceX = s.reference.takenSeconds;
    marks.peak = s.reference.peak;
    marks.valley = s.reference.valley;
    marks.referenceText = QStringLiteral("reference, cycles %1-%2: amplitude %3 V")
                              .arg(s.reference.fromCycle)
                              .arg(s.reference.toCycle)
                              .arg(double(s.reference.amplitude), 0, 'g', 4);
    marks.failed = s.failure.failed;
    marks.failureX = s.failure.seconds;
    marks.failureText = QStringLiteral("N_f = %1 (%2)")
                            .arg(s.failure.cycle)
                            .arg(QLatin1String(criterionName(s.failure.criterion)));
    for (const OfflineWatch::Stall& stall : m_watch->stalls())
        marks.stalls.emplace_back(stall.stalledSeconds,
                                  stall.endedSeconds < 0 ? m_lastX : stall.endedSeconds);
    return marks;
}

QImage PlotReport::render() const {
    QImage image(m_options.plotSize, QImage::Format_RGB32);
    QPainter painter(&image);
    paintPlot(painter, m_options.plotSize, picture());
    painter.end();
    return image;
}

bool PlotReport::write(QString& error) {
    QByteArray bytes;
    const bool encoded = encodePicture(
        m_options.plotPath, m_options.plotSize, m_title,
        [this](QPainter& painter) { paintPlot(painter, m_options.plotSize, picture()); }, bytes);
    QString reason = QStringLiteral("the picture could not be encoded");
    if (encoded && m_file->write(bytes, reason))
        return true;
    error = QStringLiteral("cannot write the picture %1: %2").arg(m_options.plotPath, reason);
    return false;
}
