#pragma once
// The X(t) recorder without its window: it takes every voltage sample
// (PlotX) and every trigger (PlotTrigger) with the time of the millisecond
// clock, keeps them in an XtRecording, and saves and loads the data file.
// The application session owns one for the whole run, in the desktop and in
// headless mode alike, so both record the same way and write the same file;
// a Form_Xt_Recorder window, when there is one, draws what the signals report
// and redraws from recording().
//
// The model takes samples and marks from its construction until unload(),
// which writes DataFileName() (and clears away what saves cut short by a
// crash left beside it); afterwards it ignores them, so that the file holds
// the last state. The clock must outlive the model.
#include "recording/XtRecording.h"

#include <QObject>
#include <QString>
#include <cstdint>

class MillisecondClock;
class Prompts;

class XtRecorderModel final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* DataFileBaseName = "Data.dat";

    // `dataFileName`: the program folder followed by DataFileBaseName.
    XtRecorderModel(const MillisecondClock& clock, QString dataFileName, QObject* parent = nullptr);

    // One voltage sample (volts), stored with the clock's time.
    void PlotX(float x);
    // One trigger, stored with the clock's time; `counter` labels the mark.
    void PlotTrigger(int32_t counter);

    // The data file; failures are reported through `prompts`. A successful
    // load replaces the recording and emits dataLoaded().
    bool SaveData(const QString& Filename, Prompts& prompts) const;
    bool LoadData(const QString& Filename, Prompts& prompts);

    // End of the run: stops taking samples and marks and saves DataFileName().
    // Runs once; later calls do nothing.
    void unload(Prompts& prompts);

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
    XtRecording m_recording;
    bool m_active = true;
};
