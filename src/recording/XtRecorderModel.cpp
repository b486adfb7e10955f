#include "recording/XtRecorderModel.h"

#include "platform/AtomicFile.h"
#include "platform/MillisecondClock.h"
#include "recording/RecorderDataFile.h"

#include <QFileInfo>

XtRecorderModel::XtRecorderModel(const MillisecondClock& clock, QString dataFileName,
                                 ProblemSink& problems, QObject* parent)
    : QObject(parent), m_clock(clock), m_dataFileName(std::move(dataFileName)),
      m_problems(problems) {}

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

bool XtRecorderModel::SaveData(const QString& Filename) const {
    return RecorderDataFile::save(Filename, m_recording, m_problems);
}

bool XtRecorderModel::LoadData(const QString& Filename) {
    if (!RecorderDataFile::load(Filename, m_recording, m_problems))
        return false;
    Q_EMIT dataLoaded();
    return true;
}

void XtRecorderModel::loadOnce() {
    if (m_loaded)
        return;
    m_loaded = true;
    // Saves that a crash cut short leave their temporary files beside the
    // chart; this process is the file's only writer, so they can go.
    AtomicFile::removeLeftovers(m_dataFileName);
    if (QFileInfo::exists(m_dataFileName))
        LoadData(m_dataFileName);
}

void XtRecorderModel::unload() {
    if (!m_active)
        return;
    // An end before the chart of the last run was read must not save a
    // near-empty chart over it.
    loadOnce();
    m_active = false;
    SaveData(m_dataFileName);
}
