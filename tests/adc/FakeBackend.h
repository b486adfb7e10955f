#pragma once
// A backend and vendor devices whose answers a test sets and whose calls it
// records, for the facade paths the simulated device cannot reach.
#include "adc/Class_AD.h"
#include "adc/LibadxDevices.h"

#include <QList>
#include <memory>
#include <stdexcept>

// The placeholder with set answers for what the facade asks of a device; the
// rest stays the placeholder's.
class FakeBackend : public Class_AD {
public:
    int32_t channels = 4;
    int32_t initResult = -1;
    QList<int32_t> setRangeCalls;

    int32_t AD_channels() override { return channels; }
    float AD_get_voltage(int32_t channel) override { return 0.5f * static_cast<float>(channel); }
    int32_t AD_init(int32_t) override { return initResult; }
    int32_t AD_load(QString&) override { return 1; }
    int32_t AD_set_range(int32_t range) override {
        setRangeCalls.append(range);
        return range;
    }
};

class FakeDevices : public LibadxDevices {
public:
    bool present = true; // whether a device answers the probe
    bool throwOnCreate = false;
    std::unique_ptr<Class_AD_Backend> next; // handed out once by createBackend
    QList<int32_t> released;

    bool probe(int32_t) override { return present; }
    std::unique_ptr<Class_AD_Backend> createBackend(int32_t) override {
        if (throwOnCreate)
            throw std::runtime_error("control cannot be created");
        return std::move(next);
    }
    void release(int32_t interfaceNumber) override { released.append(interfaceNumber); }
};
