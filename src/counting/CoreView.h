#pragma once
// Everything the counting core shows: the main window implements it with its
// labels, caption and activity line; headless mode and tests record or print
// the calls. Texts arrive finished; the view only displays them. Problems go
// to the status line (ProblemSink), never to a box.
#include "platform/ProblemSink.h"

#include <QString>
#include <cstdint>

class CoreView : public ProblemSink {
public:
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
    // A problem reported before is over (the A/D device answers again): the
    // status line says so in its good colour.
    virtual void reportRecovery(const QString& text) = 0;
    // The specimen watch's one-line state ("taking reference 37/50"), when it changes.
    virtual void setWatchText(const QString& text) { (void)text; }
};
