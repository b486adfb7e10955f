#pragma once
// What the link shows in the main window (or, headless, prints): the DDE
// lamp, the locks an open conversation puts on "E&xit" and the channel list,
// the poked command label, the box with a command the counter does not know,
// and news about the link. None of it may wait for a person.
#include "session/LinkTarget.h"

#include <QString>

class LinkView {
public:
    virtual ~LinkView() = default;
    virtual void setLinkLamp(LinkLamp lamp, const QString& toolTip) = 0;
    // While locked the user can neither end the program nor change the channel.
    virtual void setLinkLocked(bool locked) = 0;
    virtual void setCommandText(const QString& text) = 0; // Label_AD_cmd
    // Shows an execute string for the user to read; a later one replaces it.
    virtual void showLinkCommand(const QString& text) = 0;
    // A message for the status line that is no problem.
    virtual void showLinkNotice(const QString& text) = 0;
};
