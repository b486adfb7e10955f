#pragma once
// Someone outside the program who follows the run (the broker client): told
// what the session shows at the moments the link announces it, after it is
// durable. Every call comes on the user-interface thread from inside the
// counting tick or a menu action and must return at once, never waiting for a
// network; the session must outlive nothing here, the follower outlives the run.
#include <QString>

class RunFollower {
public:
    virtual ~RunFollower() = default;
    // Start-up is over: the converter is open (or not) and the count is shown.
    virtual void runStarted() = 0;
    // The count label, after the count was saved ("12345"; the version label
    // "V1.0.0" before the first count).
    virtual void countShown(const QString& text) = 0;
    // The voltage label at every reading ("1.250", "1,250", "-----", "no A/D").
    virtual void voltageShown(const QString& text) = 0;
    // The last trigger's label ("1200 T") as a trigger fires.
    virtual void triggerShown(const QString& text) = 0;
    // A problem on the status line, or the end of one (`problem` false).
    virtual void statusReported(const QString& text, bool problem) = 0;
    // The specimen watch's one-line state, when it changes (its reference and
    // failure are saved before).
    virtual void watchShown(const QString& text) { (void)text; }
    // The run ends in order: said before the files are closed.
    virtual void runEnding() = 0;
};
