#include "counting/TriggerScheduler.h"

#include "common/Pause.h"

void ImmediateTriggerScheduler::schedule(int32_t delayMs, std::function<void()> fire) {
    Pause(delayMs);
    fire();
}
