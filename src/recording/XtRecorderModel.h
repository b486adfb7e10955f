#pragma once
// The X(t) recorder without its window: it takes every voltage sample
// (PlotX) and every trigger (PlotTrigger) with the time of the millisecond
// clock, keeps them in an XtRecording, and saves and loads the data file.
// The session owns one for the whole run, in the desktop and in headless mode
// alike, so both record the same way and write the same file; a
// Form_Xt_Recorder window, when there is one, draws what the signals report
// and redraws from recording().
//
// The model is the one owner of the data file: loadOnce() reads the chart of
// the last run (once, before anything can save), unload() writes it at the
// end of the run; afterwards samples and marks are ignored, so that the file
// holds the last state. Failures go to the problem sink. The clock and the
// sink must outlive the model.
#include "recording/XtRecording.h"

#include <QObject>
#include <QString>
#include <cstdint>

class MillisecondClock;
class ProblemSink;

class XtRecorderModel final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* DataFileBaseName = "Data.dat";

    // `dataFileName`: the program folder followed by DataFileBaseName.
    XtRecorderModel(const MillisecondClock& clock, QString dataFileName, ProblemSink& problems,
                    QObject* parent = nullptr);

    // One voltage sample (volts), stored with the clock's time.
    void PlotX(float x);
    // One trigger, stored with the clock's time; `counter` labels the mark.
    void PlotTrigger(int32_t counter);

    // The data file. A successful load replaces the recording and emits dataLoaded().
    bool SaveData(const QString& Filename) const;
    bool LoadData(const QString& Filename);

    // Reads DataFileName() the first time it is called (a first run has no
    // file, which is no error); later calls do nothing.
    void loadOnce();
    bool loaded() const { return m_loaded; }

    // End of the run: stops taking samples and marks and saves DataFileName().
    // Runs once; later calls do nothing.
    void unload();

    // True from construction until unload().
    bool RecorderActive() const { return m_active; }
    const QString& DataFileName() const { return m_dataFileName; }
    const XtRecording& recording() const { return m_recording; }

Q_SIGNALS:
    void samplePlotted(float x);
    void triggerPlotted(int32_t counter);
    void dataLoaded();

private:
    const MillisecondClock& m_clock;
    QString m_dataFileName;
    ProblemSink& m_problems;
    XtRecording m_recording;
    bool m_active = true;
    bool m_loaded = false;
};
