#pragma once
// The commands run on the specimen watch's events ([Watch] OnFailure= and
// OnStall=): a failure's once it is confirmed, a stall's when it begins (the
// end of a stall runs nothing; the status line says it). Each runs at most
// once per event, also across a restart: its mark (FailureCommandRun=,
// StallCommandRun=) is saved before it starts, and a failure saved without
// its mark (the program ended between the two saves) is told when the watch
// is next shown, at start-up. A mark that cannot be saved does not hold the
// command back: told twice is better than never. The command sees the event
// in CYCLO_* environment variables (numbers with a decimal point, empty for
// what is not known): CYCLO_EVENT (failure|stall), CYCLO_RIG (the program
// folder's name), CYCLO_FOLDER, CYCLO_BUS_NAME (the link's, empty without),
// CYCLO_COUNT, CYCLO_TEXT (the status line's words), CYCLO_NF,
// CYCLO_CRITERION, CYCLO_PEAK, CYCLO_VALLEY, CYCLO_AMPLITUDE (of cycle N_f),
// CYCLO_REF_PEAK, CYCLO_REF_VALLEY, CYCLO_REF_AMPLITUDE, CYCLO_LAST_CYCLE,
// CYCLO_SINCE (the stall's start, UTC, ISO 8601), CYCLO_STALL_SECONDS (T).
#include "counting/WatchListener.h"
#include "session/EventCommand.h"

class CounterCore;
class MainView;

class EventCommands final : public WatchListener {
public:
    struct Rig {
        QString name;
        QString folder;
        QString busName;
    };
    // `core` and `view` must outlive this. How a command ended is said in
    // `view`: as a problem, or on the status line in its colour of the moment
    // when it ended with exit status 0 (the event it told of may still be on).
    EventCommands(CounterCore& core, MainView& view, Rig rig);

    // Runs every command that is due, whatever `events` says.
    void watchShown(WatchEvents events) override;

private:
    void run(uint32_t event);
    void tell(const QString& text, bool problem);
    QProcessEnvironment environment(uint32_t event) const;

    CounterCore& m_core;
    MainView& m_view;
    Rig m_rig;
    EventCommand m_failure;
    EventCommand m_stall;
};
