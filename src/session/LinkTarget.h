#pragma once
// What the link server needs from the running program: the captions of the
// main window's controls, the count set by a client, the commands it pokes or
// executes, and where to show the link's lamp, locks and problems. The session
// implements it; tests give a fake. Every call arrives on the user-interface
// thread and must return without waiting for a person.
#include <QString>
#include <cstdint>
#include <optional>

// The DDE lamp: grey when no bus is reached (Off) or no conversation is open
// (Idle), green while one is open, red during a link error.
enum class LinkLamp { Off, Idle, Open, Error };

class LinkTarget {
public:
    virtual ~LinkTarget() = default;

    // The caption of the main window's control `name` (matched regardless of
    // case, as DDE item names are), or nothing when there is no such control.
    virtual std::optional<QString> linkCaption(const QString& name) const = 0;
    // A client sets the count (already checked: 0 .. 2^31-1). The count is
    // saved before anything shows it; false when it could not be saved, and
    // then the count stays as it was.
    virtual bool linkSetCount(int32_t count) = 0;
    // A client poked `text` into Label_AD_cmd: its caption changes.
    virtual void linkSetCommandText(const QString& text) = 0;
    // An execute string the counter has no use for, shown to the user. Comes
    // after the client has its answer, at most a few times a second.
    virtual void linkShowCommand(const QString& text) = 0;
    // "STOP": end now. "UNLOAD": end as "E&xit" does. Both come after the
    // client has its answer, and neither may be refused for open conversations.
    virtual void linkStop() = 0;
    virtual void linkUnload() = 0;
    // The lamp, its tool tip, and whether open conversations lock "E&xit",
    // the channel list and closing the window.
    virtual void linkStateChanged(LinkLamp lamp, bool locked, const QString& toolTip) = 0;
    // A link error ("DDE link error:" and its number): once per episode.
    virtual void linkProblem(const QString& text) = 0;
    // News about the link that is no problem (no bus at start, back again).
    virtual void linkNotice(const QString& text) = 0;
};
