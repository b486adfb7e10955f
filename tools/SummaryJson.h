#pragma once
// The summary file of a run (--summary-json) for a lab's own scripts: counts,
// triggers, confirmed extrema on either side of the threshold, the range of
// the signal and the settings used. It observes the counter like the picture
// does and is written in one step at the end (created when opened), so a
// failed run leaves no file. The fields are described in the README.
#include "CountOptions.h"
#include "OfflineCounter.h"

#include <QString>

#include <memory>

class OfflineWatch;
class OutputFile;

class SummaryJson : public CountObserver {
public:
    // `watch` (not owned; null without --watch) adds the object "watch".
    SummaryJson(const CountOptions& options, const QString& inputName,
                const OfflineWatch* watch = nullptr);
    ~SummaryJson() override;

    bool open(QString& error);
    void addSamples(const float* values, const double* times, size_t count);
    void extremum(const ExtremumEvent& event) override;
    void trigger(const TriggerEvent&) override {}
    // The file's text for the finished count; written by write().
    QByteArray text(const OfflineCounter& counter, int64_t headerLines, int64_t gaps) const;
    bool write(const OfflineCounter& counter, int64_t headerLines, int64_t gaps, QString& error);

private:
    CountOptions m_options;
    QString m_inputName;
    const OfflineWatch* m_watch;
    std::unique_ptr<OutputFile> m_file;
    int64_t m_maximaReaching = 0; // maxima at or above the threshold
    int64_t m_maximaBelow = 0;
    int64_t m_minimaReaching = 0; // minima at or below the threshold
    int64_t m_minimaAbove = 0;
    int64_t m_samples = 0;
    float m_min = 0.0f;
    float m_max = 0.0f;
    double m_firstTime = 0.0;
    double m_lastTime = 0.0;
};
