#pragma once
// Views for tests: they keep the latest text of every label and the full
// history of the calls whose sequence matters (titles, problems, activity line).
#include "counting/CoreView.h"
#include "session/MainView.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

template <class View> class RecordingView : public View {
public:
    QString count, minorCount, extremaPerCycle, voltage, nextTrigger, events, triggerLabel;
    bool voltageRed = false, served = false;
    QList<QString> titles, problems, recoveries;
    QList<std::pair<int32_t, int32_t>> activityLines;
    QString watch;
    std::function<void(const QString&)> onCount;   // called as each count is shown
    std::function<void(const QString&)> onProblem; // ... and each problem
    std::function<void(const QString&)> onWatch;   // ... and each state of the watch

    void setCountText(const QString& text) override {
        count = text;
        if (onCount)
            onCount(text);
    }
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
    void reportProblem(const QString& text) override {
        problems.append(text);
        if (onProblem)
            onProblem(text);
    }
    void setWatchText(const QString& text) override {
        watch = text;
        if (onWatch)
            onWatch(text);
    }
    void reportRecovery(const QString& text) override { recoveries.append(text); }
};

using RecordingCoreView = RecordingView<CoreView>;

class RecordingMainView final : public RecordingView<MainView> {
public:
    QString status;
    QStringList channels;
    void setStatus(const QString& text, std::optional<uint32_t>, std::optional<uint32_t>) override {
        status = text;
    }
    void setChannelList(const QStringList& names, int) override { channels = names; }
    void setTestMode(bool) override {}
    void setLinkLamp(LinkLamp, const QString&) override {}
    void setLinkLocked(bool) override {}
    void setCommandText(const QString&) override {}
    void showLinkCommand(const QString&) override {}
    void showLinkNotice(const QString&) override {}
};
