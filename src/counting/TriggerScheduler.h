#pragma once
// Runs a due trigger after its delay. The GUI schedules it on a timer so the
// window stays responsive; the immediate scheduler fires at once, as a trigger
// always did when its delay was only announced. A scheduler must not call
// `fire` after the counting core that gave it has been destroyed.
#include <cstdint>
#include <functional>

class TriggerScheduler {
public:
    virtual ~TriggerScheduler() = default;
    // delayMs > 0; `fire` raises the trigger.
    virtual void schedule(int32_t delayMs, std::function<void()> fire) = 0;
};

// Announces the delay through Pause (which returns at once) and fires at once.
class ImmediateTriggerScheduler final : public TriggerScheduler {
public:
    void schedule(int32_t delayMs, std::function<void()> fire) override;
};
