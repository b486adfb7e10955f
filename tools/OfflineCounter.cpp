#include "OfflineCounter.h"

#include "counting/SampleSteps.h"
#include "counting/ScanCounting.h"

#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstring>

namespace {
// An event line is built with std::to_chars, which writes exactly what printf
// writes for the same precision but at a fraction of its cost: a history with
// a short period gives an event every few dozen samples.
class Line {
public:
    Line& text(const char* s) {
        const size_t n = std::strlen(s);
        std::memcpy(m_end, s, n);
        m_end += n;
        return *this;
    }
    Line& integer(int64_t value) {
        m_end = std::to_chars(m_end, m_limit, value).ptr;
        return *this;
    }
    Line& fixed(double value, int decimals) {
        m_end = std::to_chars(m_end, m_limit, value, std::chars_format::fixed, decimals).ptr;
        return *this;
    }
    Line& general(double value, int digits) {
        m_end = std::to_chars(m_end, m_limit, value, std::chars_format::general, digits).ptr;
        return *this;
    }
    const char* data() const { return m_text; }
    size_t size() const { return static_cast<size_t>(m_end - m_text); }

private:
    char m_text[512];
    char* m_end = m_text;
    char* const m_limit = m_text + sizeof m_text;
};
} // namespace

OfflineCounter::OfflineCounter(const CountingState& state, int32_t intervalMs, Format format,
                               std::FILE* out)
    : m_state(state), m_engine(m_state, m_tracker), m_intervalMs(intervalMs), m_format(format),
      m_out(out), m_startCount(state.CycleCount) {
    m_pending.reserve(1 << 16);
    CountingEngine::updateNextTrigger(m_state);
}

// Every sample through the engine's steps; the peaks are followed only for
// observers, so that a plain count pays nothing for them.
template <typename TimeOf, typename OnEvent>
void OfflineCounter::runSteps(const float* values, const double* times, size_t count,
                              TimeOf&& timeOf, OnEvent&& onEvent) {
    SampleSteps steps(m_engine, m_tracker);
    const int64_t first = m_samples;
    if (!m_peaksWanted)
        steps.run(values, 1, count, timeOf, onEvent);
    else
        steps.run(values, 1, count, timeOf, onEvent, [&](size_t i) { movePeak(first, i, times); });
}

void OfflineCounter::process(const float* values, const double* times, size_t count) {
    if (count == 0)
        return;
    // The program reads the signal once at start-up before its first tick;
    // the first sample of the history stands for that reading.
    if (m_samples == 0)
        m_engine.takeFirstReading(values[0]);
    m_timed = times != nullptr;
    const int64_t first = m_samples;
    const auto onEvent = [&](const SampleEvent& event) {
        m_samples = first + static_cast<int64_t>(event.offset);
        const double seconds = m_timed ? times[event.offset] * m_secondsPerUnit : 0.0;
        if (!m_observers.empty())
            tellExtremum(event, seconds);
        if (event.result.extremumCounted || event.result.triggerDue)
            reportEvents(event.result, event.voltage, seconds);
    };
    if (times) {
        // Milliseconds of the file's time, as a replay with a time column has them.
        const double unit = m_secondsPerUnit;
        runSteps(
            values, times, count,
            [times, unit](size_t i) { return ScanCounting::millisecondsOf(times[i] * unit); },
            onEvent);
    } else if (m_rate > 0.0) {
        // The converter's clock of a stream at this rate, as the program has it.
        const double rate = m_rate;
        runSteps(
            values, nullptr, count,
            [first, rate](size_t i) {
                return ScanCounting::millisecondsAt(first + static_cast<int64_t>(i), rate);
            },
            onEvent);
    } else {
        // The hot loop of a long history: the clock is the program's wrapping
        // tick, `intervalMs` a sample.
        const uint32_t clock = m_clock;
        const auto interval = static_cast<uint32_t>(m_intervalMs);
        runSteps(
            values, nullptr, count,
            [clock, interval](size_t i) {
                return static_cast<int32_t>(clock + static_cast<uint32_t>(i) * interval);
            },
            onEvent);
        m_clock = clock + static_cast<uint32_t>(count) * interval;
    }
    m_samples = first + static_cast<int64_t>(count);
}

void OfflineCounter::movePeak(int64_t first, size_t offset, const double* times) {
    m_peakIndex = first + static_cast<int64_t>(offset);
    m_peakSeconds = times ? times[offset] * m_secondsPerUnit : 0.0;
}

// A confirmed extreme, counted or not, for the observers. The peak moved to
// the confirming sample after the event was taken, so the peak before it is
// the one confirmed: the event is told before the peak moves.
void OfflineCounter::tellExtremum(const SampleEvent& sample, double seconds) {
    if (!sample.confirmed)
        return;
    ExtremumEvent event;
    event.peakIndex = m_peakIndex;
    event.peakSeconds = m_timed ? m_peakSeconds : secondsAt(m_peakIndex);
    event.index = m_samples;
    event.seconds = m_timed ? seconds : secondsAt(m_samples);
    event.value = sample.extreme;
    event.maximum = sample.maximum;
    event.counted = sample.result.extremumCounted;
    event.completed = sample.result.cycleCompleted;
    event.cycle = m_state.CycleCount;
    for (CountObserver* observer : m_observers)
        observer->extremum(event);
}

// Kept out of the sample loop: an event comes every few dozen samples at most.
void OfflineCounter::reportEvents(const StepResult& result, float voltage, double seconds) {
    if (result.extremumCounted) {
        ++m_extrema;
        report("extremum", voltage, seconds, m_state.CycleCount, 0);
    }
    // With triggers off a due trigger fires nothing, as in the program.
    if (result.triggerDue && m_state.TriggerEnabled) {
        ++m_triggers;
        report("trigger", voltage, seconds, result.dueCycle, result.delayMs);
        const TriggerEvent event{m_samples, m_timed ? seconds : secondsAt(m_samples),
                                 result.dueCycle, result.delayMs};
        for (CountObserver* observer : m_observers)
            observer->trigger(event);
    }
}

void OfflineCounter::report(const char* event, float voltage, double seconds, int32_t cycle,
                            int32_t delayMs) {
    if (!m_timed)
        seconds = secondsAt(m_samples);
    // Times from a file or a rate may be finer than a millisecond.
    const int decimals = m_timed || m_rate > 0.0 ? 6 : 3;
    Line line;
    if (m_format == Format::Json) {
        line.text("{\"event\":\"").text(event).text("\",\"sample\":").integer(m_samples);
        line.text(",\"time_s\":").fixed(seconds, decimals);
        line.text(",\"voltage\":").general(static_cast<double>(voltage), 9);
        line.text(",\"cycle\":").integer(cycle).text(",\"minor\":").integer(m_state.MinorCount);
        line.text(",\"delay_ms\":").integer(delayMs).text("}\n");
    } else {
        line.text(event).text(std::strlen(event) < 8 ? " " : "").text(" sample=");
        line.integer(m_samples).text(" t=").fixed(seconds, decimals).text("s V=");
        line.fixed(static_cast<double>(voltage), 3).text(" cycle=").integer(cycle);
        line.text(" minor=").integer(m_state.MinorCount);
        if (delayMs > 0)
            line.text(" delay=").integer(delayMs).text("ms");
        line.text("\n");
    }
    if (m_pending.size() + line.size() > m_pending.capacity())
        flush();
    m_pending.append(line.data(), line.size());
}

void OfflineCounter::flush() {
    std::fwrite(m_pending.data(), 1, m_pending.size(), m_out);
    m_pending.clear();
}

void OfflineCounter::finish(int64_t headerLines, int64_t gaps, const std::string& textTail,
                            const std::string& jsonTail) {
    flush();
    const int64_t cycles = int64_t{m_state.CycleCount} - m_startCount;
    if (m_format == Format::Json) {
        std::fprintf(m_out,
                     "{\"event\":\"summary\",\"samples\":%" PRId64 ",\"header_lines\":%" PRId64
                     ",\"gaps\":%" PRId64 ",\"extrema\":%" PRId64 ",\"cycles\":%" PRId64
                     ",\"cycle\":%" PRId32 ",\"minor\":%" PRId32 ",\"triggers\":%" PRId64
                     ",\"next_trigger\":%" PRId32 "%s}\n",
                     m_samples, headerLines, gaps, m_extrema, cycles, m_state.CycleCount,
                     m_state.MinorCount, m_triggers, m_state.NextTriggerCount, jsonTail.c_str());
        return;
    }
    std::fprintf(m_out,
                 "summary  samples=%" PRId64 " extrema=%" PRId64 " cycles=%" PRId64
                 " count=%" PRId32 " minor=%" PRId32 " triggers=%" PRId64 " next=%" PRId32,
                 m_samples, m_extrema, cycles, m_state.CycleCount, m_state.MinorCount, m_triggers,
                 m_state.NextTriggerCount);
    if (headerLines > 0)
        std::fprintf(m_out, " header_lines=%" PRId64, headerLines);
    if (gaps > 0)
        std::fprintf(m_out, " gaps=%" PRId64, gaps);
    std::fputs(textTail.c_str(), m_out);
    std::fputc('\n', m_out);
}
