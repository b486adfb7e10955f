#include "OfflineWatch.h"

#include "common/NumberText.h"

#include <QJsonArray>

#include <charconv>

namespace {
using NumberText::shortestDouble;

std::string shortest(float value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}
} // namespace

OfflineWatch::OfflineWatch(const CountOptions& options)
    : m_options(options), m_watch(options.watchSettings) {}

double OfflineWatch::secondsOf(const double* times, size_t i, int64_t index) const {
    return times ? times[i] * m_options.timeUnitSeconds
                 : static_cast<double>(index) * m_options.intervalMs / 1000.0;
}

void OfflineWatch::addSamples(const double* times, size_t count, int64_t firstIndex) {
    if (count == 0)
        return;
    if (!m_started) {
        m_started = true;
        take(m_watch.tick(secondsOf(times, 0, firstIndex), true));
    }
    m_lastSeconds = secondsOf(times, count - 1, firstIndex + static_cast<int64_t>(count) - 1);
}

void OfflineWatch::extremum(const ExtremumEvent& event) {
    take(m_watch.tick(event.seconds, true));
    m_recorder.extremum(event.value, event.maximum);
    if (event.completed)
        take(m_watch.cycle(m_recorder.cycleCompleted(event.cycle, event.index, event.seconds)));
}

void OfflineWatch::finish() {
    if (m_started)
        take(m_watch.tick(m_lastSeconds, true));
}

void OfflineWatch::take(WatchEvents events) {
    const WatchStall& stall = m_watch.state().stall;
    if (events.has(WatchEvents::StallEnded) && !m_stalls.empty())
        m_stalls.back().endedSeconds = stall.endedSeconds;
    if (events.has(WatchEvents::StallBegun))
        m_stalls.push_back(
            {stall.lastCycle, stall.sinceSeconds, stall.sinceSeconds + stall.limitSeconds, -1});
}

QJsonObject OfflineWatch::json() const {
    const WatchState& s = m_watch.state();
    const WatchSettings& w = m_options.watchSettings;
    QJsonObject json{{"n_f", QJsonValue::Null},
                     {"criterion", QJsonValue::Null},
                     {"failure", QJsonValue::Null},
                     {"reference", QJsonValue::Null}};
    if (s.failure.failed) {
        json["n_f"] = s.failure.cycle;
        json["criterion"] = criterionName(s.failure.criterion);
        json["failure"] = QJsonObject{{"confirmed_at", s.failure.confirmedCycle},
                                      {"time_s", s.failure.seconds},
                                      {"peak", shortestDouble(s.failure.peak)},
                                      {"valley", shortestDouble(s.failure.valley)},
                                      {"amplitude", shortestDouble(s.failure.amplitude)}};
    }
    if (s.reference.taken)
        json["reference"] = QJsonObject{{"peak", shortestDouble(s.reference.peak)},
                                        {"valley", shortestDouble(s.reference.valley)},
                                        {"amplitude", shortestDouble(s.reference.amplitude)},
                                        {"from_cycle", s.reference.fromCycle},
                                        {"to_cycle", s.reference.toCycle},
                                        {"time_s", s.reference.takenSeconds}};
    QJsonArray stalls;
    for (const Stall& stall : m_stalls)
        stalls.append(QJsonObject{
            {"after_cycle", stall.afterCycle},
            {"since_s", stall.sinceSeconds},
            {"stalled_s", stall.stalledSeconds},
            {"ended_s", stall.endedSeconds < 0 ? QJsonValue() : QJsonValue(stall.endedSeconds)}});
    json["stalls"] = stalls;
    const auto percent = [](bool on, double value) {
        return on ? QJsonValue(value) : QJsonValue();
    };
    json["settings"] =
        QJsonObject{{"settle", w.settlingCycles},
                    {"reference_cycles", w.referenceCycles},
                    {"drop_percent", percent(w.amplitudeCheck, w.amplitudeDropPercent)},
                    {"band_percent", percent(w.peakCheck, w.bandPercent)},
                    {"confirm", w.confirmCycles},
                    {"stall_seconds", w.stallSeconds}};
    return json;
}

std::string OfflineWatch::summaryText() const {
    const WatchState& s = m_watch.state();
    std::string text = " n_f=";
    text += s.failure.failed ? std::to_string(s.failure.cycle) +
                                   " criterion=" + criterionName(s.failure.criterion)
                             : std::string("none");
    if (s.reference.taken)
        text += " reference=" + shortest(s.reference.peak) + "/" + shortest(s.reference.valley) +
                "/" + shortest(s.reference.amplitude) + "@" +
                std::to_string(s.reference.fromCycle) + "-" + std::to_string(s.reference.toCycle);
    else
        text += " reference=none";
    return text + " stalls=" + std::to_string(m_stalls.size());
}
