#include "recording/XtRecorderModel.h"

#include "platform/AtomicFile.h"
#include "platform/MillisecondClock.h"
#include "recording/RecorderDataFile.h"

XtRecorderModel::XtRecorderModel(const MillisecondClock& clock, QString dataFileName,
                                 QObject* parent)
    : QObject(parent), m_clock(clock), m_dataFileName(std::move(dataFileName)) {}

void XtRecorderModel::PlotX(float x) {
    if (!m_active)
        return;
    m_recording.addSample(m_clock.timeGetTime(), x);
    Q_EMIT samplePlotted(x);
}

void XtRecorderModel::PlotTrigger(int32_t counter) {
    if (!m_active)
        return;
    m_recording.addMark(m_clock.timeGetTime(), counter);
    Q_EMIT triggerPlotted(counter);
}

bool XtRecorderModel::SaveData(const QString& Filename, Prompts& prompts) const {
    return RecorderDataFile::save(Filename, m_recording, prompts);
}

bool XtRecorderModel::LoadData(const QString& Filename, Prompts& prompts) {
    if (!RecorderDataFile::load(Filename, m_recording, prompts))
        return false;
    Q_EMIT dataLoaded();
    return true;
}

void XtRecorderModel::unload(Prompts& prompts) {
    if (!m_active)
        return;
    m_active = false;
    // Saves that a crash cut short leave their temporary files beside the
    // chart; this process is the file's only writer, so they can go.
    AtomicFile::removeLeftovers(m_dataFileName);
    SaveData(m_dataFileName, prompts);
}
