#pragma once
// Someone above the counting core who acts on the specimen watch's news (the
// event commands, the link's watch items): told on the user-interface thread,
// inside the counting tick or a whole operation, after the news was saved and
// shown. Must return at once, never waiting for a process, a bus or a person.
#include "counting/WatchState.h"

class WatchListener {
public:
    virtual ~WatchListener() = default;
    // `events` were saved and shown; none when only the state was shown anew
    // (start-up, settings applied, a count set).
    virtual void watchShown(WatchEvents events) = 0;
};
