#include "SummaryJson.h"

#include "OfflineWatch.h"
#include "OutputFile.h"

#include "common/NumberText.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <charconv>

namespace {
using NumberText::shortestDouble;

QJsonObject settings(const CountOptions& o) {
    const CountingState& s = o.state;
    QJsonObject json{{"mode", s.CountMode == CountedExtrema::Minima ? "min" : "max"},
                     {"threshold", shortestDouble(s.Threshold)},
                     {"hysteresis", shortestDouble(s.Hysteresis)},
                     {"extrema_per_cycle", s.ExtremaPerCycle},
                     {"triggers", s.TriggerEnabled ? "on" : "off"},
                     {"trigger_source", triggerSourceName(s.TriggerSource)},
                     {"profile", profileText(s)},
                     {"extra_events", s.ExtraEvents},
                     {"delay_ms", s.TriggerDelayMs},
                     {"start_count", s.CycleCount}};
    if (o.reader.timeColumn > 0) {
        json["time_column"] = o.reader.timeColumn;
        json["time_unit"] = o.timeUnitSeconds == 1.0 ? "s" : "ms";
    } else if (o.rate > 0.0) {
        json["rate"] = o.rate;
    } else {
        json["interval_ms"] = o.intervalMs;
    }
    return json;
}
} // namespace

SummaryJson::SummaryJson(const CountOptions& options, const QString& inputName,
                         const OfflineWatch* watch)
    : m_options(options), m_inputName(inputName), m_watch(watch) {}

SummaryJson::~SummaryJson() = default;

bool SummaryJson::open(QString& error) {
    m_file = std::make_unique<OutputFile>(m_options.summaryJsonPath);
    QString reason;
    if (m_file->open(reason))
        return true;
    error = QStringLiteral("cannot create the summary file %1: %2")
                .arg(m_options.summaryJsonPath, reason);
    return false;
}

void SummaryJson::addSamples(const float* values, const double* times, size_t count) {
    if (count == 0)
        return;
    float low = m_samples > 0 ? m_min : values[0];
    float high = m_samples > 0 ? m_max : values[0];
    for (size_t i = 0; i < count; ++i) {
        low = std::min(low, values[i]);
        high = std::max(high, values[i]);
    }
    m_min = low;
    m_max = high;
    const double unit = m_options.timeUnitSeconds;
    const double interval = m_options.sampleSeconds();
    if (m_samples == 0)
        m_firstTime = times ? times[0] * unit : 0.0;
    m_samples += static_cast<int64_t>(count);
    m_lastTime = times ? times[count - 1] * unit : static_cast<double>(m_samples - 1) * interval;
}

void SummaryJson::extremum(const ExtremumEvent& event) {
    const float threshold = m_options.state.Threshold;
    if (event.maximum)
        ++(event.value >= threshold ? m_maximaReaching : m_maximaBelow);
    else
        ++(event.value <= threshold ? m_minimaReaching : m_minimaAbove);
}

QByteArray SummaryJson::text(const OfflineCounter& counter, int64_t headerLines,
                             int64_t gaps) const {
    const CountingState& state = counter.state();
    const QJsonObject extrema{
        {"maxima", QJsonObject{{"at_or_above_threshold", double(m_maximaReaching)},
                               {"below_threshold", double(m_maximaBelow)}}},
        {"minima", QJsonObject{{"at_or_below_threshold", double(m_minimaReaching)},
                               {"above_threshold", double(m_minimaAbove)}}}};
    QJsonObject signal{{"min", shortestDouble(m_min)},
                       {"max", shortestDouble(m_max)},
                       {"first_time_s", m_firstTime},
                       {"last_time_s", m_lastTime}};
    QJsonObject json{{"input", m_inputName},
                     {"format", formatName(m_options.reader.format)},
                     {"samples", double(counter.samples())},
                     {"header_lines", double(headerLines)},
                     {"gaps", double(gaps)},
                     {"cycles", double(int64_t{state.CycleCount} - m_options.state.CycleCount)},
                     {"cycle", state.CycleCount},
                     {"minor", state.MinorCount},
                     {"extrema_counted", double(counter.extremaCounted())},
                     {"triggers", double(counter.triggersFired())},
                     {"next_trigger", state.NextTriggerCount},
                     {"extrema", extrema},
                     {"signal", signal},
                     {"settings", settings(m_options)}};
    if (m_watch)
        json["watch"] = m_watch->json();
    return QJsonDocument(json).toJson(QJsonDocument::Indented);
}

bool SummaryJson::write(const OfflineCounter& counter, int64_t headerLines, int64_t gaps,
                        QString& error) {
    const QByteArray json = text(counter, headerLines, gaps);
    QString reason;
    if (m_file->write(json, reason))
        return true;
    error = QStringLiteral("cannot write the summary file %1: %2")
                .arg(m_options.summaryJsonPath, reason);
    return false;
}
