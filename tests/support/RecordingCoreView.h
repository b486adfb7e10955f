#pragma once
// A CoreView for tests: keeps the latest text of every label and the full
// history of the calls whose sequence matters (titles, problems, activity line).
#include "counting/CoreView.h"

#include <QList>
#include <QString>
#include <utility>

class RecordingCoreView final : public CoreView {
public:
    QString count, minorCount, extremaPerCycle, voltage, nextTrigger, events, triggerLabel;
    bool voltageRed = false, served = false;
    QList<QString> titles, problems;
    QList<std::pair<int32_t, int32_t>> activityLines;

    void setCountText(const QString& text) override { count = text; }
    void setMinorCountText(const QString& text) override { minorCount = text; }
    void setExtremaPerCycleText(const QString& text) override { extremaPerCycle = text; }
    void setVoltageText(const QString& text, bool red) override {
        voltage = text;
        voltageRed = red;
    }
    void setNextTriggerText(const QString& text) override { nextTrigger = text; }
    void setEventsText(const QString& text) override { events = text; }
    void setTriggerLabel(const QString& text) override { triggerLabel = text; }
    void setTitle(const QString& text) override { titles.append(text); }
    void moveActivityLine(int32_t x1, int32_t x2) override { activityLines.append({x1, x2}); }
    void setActivityLineServed(bool isServed) override { served = isServed; }
    void reportProblem(const QString& text) override { problems.append(text); }
};
