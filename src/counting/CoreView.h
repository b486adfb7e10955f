#pragma once
// Everything the counting core shows: the main window implements it with its
// labels, caption, activity line and recorder; headless mode and tests record
// or print the calls. Texts arrive finished; the view only displays them.
#include <QString>
#include <cstdint>

class CoreView {
public:
    virtual ~CoreView() = default;

    virtual void setCountText(const QString& text) = 0;      // cycle count label
    virtual void setMinorCountText(const QString& text) = 0; // minor count label
    virtual void setExtremaPerCycleText(const QString& text) = 0;
    virtual void setVoltageText(const QString& text, bool red) = 0; // red, else black
    virtual void setNextTriggerText(const QString& text) = 0;
    virtual void setEventsText(const QString& text) = 0;
    virtual void setTriggerLabel(const QString& text) = 0; // last trigger, "1200 T"
    virtual void setTitle(const QString& text) = 0;        // window caption
    virtual void moveActivityLine(int32_t x1, int32_t x2) = 0;
    virtual void setActivityLineServed(bool served) = 0; // green while the exchange file is served
    // Every sample; the view hands it on only while the recorder is loaded.
    virtual void plotX(float voltage) = 0;
    virtual void plotTrigger(int32_t counter) = 0; // trigger mark in the recorder
    // A problem the user must learn of (the settings file cannot be written).
    virtual void reportProblem(const QString& text) = 0;
};
