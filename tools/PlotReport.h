#pragma once
// The picture report of a run: fills the columns in one pass with the
// counting (it is told every event and sees every sample), then draws them
// into a PNG or SVG file. The file is created when the report is opened and
// replaced in one step when it is written, so a failed run leaves nothing
// half-written. --from/--to choose the stretch shown; the count itself always
// runs over the whole history.
#include "CountOptions.h"
#include "OfflineCounter.h"
#include "PlotColumns.h"
#include "PlotPainter.h"

#include <QImage>
#include <QString>

#include <limits>
#include <memory>
#include <vector>

class OfflineWatch;
class OutputFile;

class PlotReport : public CountObserver {
public:
    // `title` names the input; the settings come from `options`. `watch`
    // (not owned; null without --watch) adds its marks.
    PlotReport(const CountOptions& options, const QString& title,
               const OfflineWatch* watch = nullptr);
    ~PlotReport() override;

    // Creates the output file (not yet visible under its name).
    bool open(QString& error);
    // Samples from `firstIndex` on, before the counter sees them.
    void addSamples(const float* values, const double* times, size_t count, int64_t firstIndex);
    void extremum(const ExtremumEvent& event) override;
    void trigger(const TriggerEvent& event) override;

    QImage render() const;
    // Draws and replaces the file; false with `error` filled.
    bool write(QString& error);

private:
    PlotPicture picture() const;
    PlotWatchMarks watchMarks() const;
    bool before(int64_t index, double seconds) const {
        return index < m_fromIndex || seconds < m_fromSeconds;
    }
    bool inside(int64_t index, double seconds) const {
        return !before(index, seconds) && index < m_toIndex && seconds < m_toSeconds;
    }
    void addFiltered(const float* values, const double* xs, double x0, double dx, size_t count,
                     int64_t firstIndex);

    CountOptions m_options;
    QString m_title;
    QString m_subtitle;
    const OfflineWatch* m_watch;
    PlotColumns m_columns;
    std::unique_ptr<OutputFile> m_file;
    bool m_windowed = false;
    bool m_fixedRange = false;
    int64_t m_fromIndex = 0;
    int64_t m_toIndex = std::numeric_limits<int64_t>::max();
    double m_fromSeconds = -std::numeric_limits<double>::infinity();
    double m_toSeconds = std::numeric_limits<double>::infinity();
    double m_firstX = 0.0;
    double m_lastX = 0.0;
    bool m_anySample = false;
    int32_t m_startCycle = 0;
    int32_t m_endCycle = 0;
    std::vector<double> m_xs; // times in seconds, when the file's unit is not
};
