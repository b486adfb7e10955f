#include "recording/XtRecorderModel.h"

#include "platform/AtomicFile.h"
#include "platform/MillisecondClock.h"
#include "platform/ProblemSink.h"
#include "recording/RecorderDataFile.h"

#include <QDateTime>
#include <QFile>
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
    if (!QFileInfo::exists(m_dataFileName))
        return;
    QString why;
    if (RecorderDataFile::load(m_dataFileName, m_recording, m_problems, &why)) {
        Q_EMIT dataLoaded();
        return;
    }
    // A chart this program cannot take over (a later version, a damaged
    // file) is somebody's data: it goes aside, named after the reason, before
    // the end of the run writes a new one. A folder in its place stays; the
    // save at the end reports that it cannot write.
    if (!QFileInfo(m_dataFileName).isFile())
        return;
    const QString aside =
        m_dataFileName + u'.' + why + u'-' +
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    if (QFile::rename(m_dataFileName, aside))
        m_problems.reportProblem(
            QStringLiteral("The chart file %1 was kept as %2.").arg(m_dataFileName, aside));
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
