#include "OfflineCounter.h"

#include <cinttypes>

OfflineCounter::OfflineCounter(const CountingState& state, int32_t intervalMs, Format format,
                               std::FILE* out)
    : m_state(state), m_engine(m_state, m_tracker), m_intervalMs(intervalMs), m_format(format),
      m_out(out), m_startCount(state.CycleCount) {
    CountingEngine::updateNextTrigger(m_state);
}

void OfflineCounter::process(float voltage, int64_t index) {
    // The engine's clock wraps like the program's 32-bit millisecond tick.
    const auto now = static_cast<int32_t>(static_cast<uint32_t>(index * m_intervalMs));
    // The program reads the signal once at start-up before its first tick;
    // the first sample of the history stands for that reading.
    if (m_samples == 0)
        m_engine.takeFirstReading(voltage);
    const StepResult result = m_engine.step(voltage, now, true);
    ++m_samples;
    if (result.extremumCounted) {
        ++m_extrema;
        report("extremum", index, voltage, m_state.CycleCount, 0);
    }
    // With triggers off a due trigger fires nothing, as in the program.
    if (result.triggerDue && m_state.TriggerEnabled) {
        ++m_triggers;
        report("trigger", index, voltage, result.dueCycle, result.delayMs);
    }
}

void OfflineCounter::report(const char* event, int64_t index, float voltage, int32_t cycle,
                            int32_t delayMs) {
    const double seconds = static_cast<double>(index) * m_intervalMs / 1000.0;
    if (m_format == Format::Json) {
        std::fprintf(m_out,
                     "{\"event\":\"%s\",\"sample\":%" PRId64 ",\"time_s\":%.3f,\"voltage\":%.9g,"
                     "\"cycle\":%" PRId32 ",\"minor\":%" PRId32 ",\"delay_ms\":%" PRId32 "}\n",
                     event, index, seconds, static_cast<double>(voltage), cycle, m_state.MinorCount,
                     delayMs);
        return;
    }
    std::fprintf(m_out, "%-8s sample=%" PRId64 " t=%.3fs V=%.3f cycle=%" PRId32 " minor=%" PRId32,
                 event, index, seconds, static_cast<double>(voltage), cycle, m_state.MinorCount);
    if (delayMs > 0)
        std::fprintf(m_out, " delay=%" PRId32 "ms", delayMs);
    std::fputc('\n', m_out);
}

void OfflineCounter::finish(int64_t headerLines) {
    const int64_t cycles = int64_t{m_state.CycleCount} - m_startCount;
    if (m_format == Format::Json) {
        std::fprintf(m_out,
                     "{\"event\":\"summary\",\"samples\":%" PRId64 ",\"header_lines\":%" PRId64
                     ",\"extrema\":%" PRId64 ",\"cycles\":%" PRId64 ",\"cycle\":%" PRId32
                     ",\"minor\":%" PRId32 ",\"triggers\":%" PRId64 ",\"next_trigger\":%" PRId32
                     "}\n",
                     m_samples, headerLines, m_extrema, cycles, m_state.CycleCount,
                     m_state.MinorCount, m_triggers, m_state.NextTriggerCount);
        return;
    }
    std::fprintf(m_out,
                 "summary  samples=%" PRId64 " extrema=%" PRId64 " cycles=%" PRId64
                 " count=%" PRId32 " minor=%" PRId32 " triggers=%" PRId64 " next=%" PRId32,
                 m_samples, m_extrema, cycles, m_state.CycleCount, m_state.MinorCount, m_triggers,
                 m_state.NextTriggerCount);
    if (headerLines > 0)
        std::fprintf(m_out, " header_lines=%" PRId64, headerLines);
    std::fputc('\n', m_out);
}
