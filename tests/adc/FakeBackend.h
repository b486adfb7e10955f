#pragma once
// A backend and vendor devices whose answers a test sets and whose calls it
// records, for the facade paths the simulated device cannot reach.
#include "adc/Class_AD_Backend.h"
#include "adc/LibadxDevices.h"

#include <QList>
#include <memory>
#include <stdexcept>

class FakeBackend : public Class_AD_Backend {
public:
    int32_t channels = 4;
    int32_t initResult = -1;
    QList<int32_t> setRangeCalls;

    QString AD_channel_name(int32_t channel) override { return QString::number(channel); }
    int32_t AD_channels() override { return channels; }
    QString AD_dll_date() override { return {}; }
    int32_t AD_get(int32_t channel) override { return channel; }
    float AD_get_voltage(int32_t channel) override { return 0.5f * static_cast<float>(channel); }
    int32_t AD_has_diff_input() override { return -1; }
    int32_t AD_init(int32_t) override { return initResult; }
    int32_t AD_load(QString&) override { return 1; }
    int32_t AD_input_mode(int32_t mode) override { return mode; }
    QString AD_interface_name() override { return {}; }
    void AD_Range(int32_t, float& min, float& max) override { min = max = 0.0f; }
    int32_t AD_Ranges() override { return 4; }
    int32_t AD_set_range(int32_t range) override {
        setRangeCalls.append(range);
        return range;
    }
    int32_t AD_set_averaging(int32_t averaging) override { return averaging; }
    int32_t AD_winrt_device() override { return 7; }
};

class FakeDevices : public LibadxDevices {
public:
    bool throwOnCreate = false;
    std::unique_ptr<Class_AD_Backend> next; // handed out once by createBackend
    QList<int32_t> released;

    bool probe(int32_t) override { return true; }
    std::unique_ptr<Class_AD_Backend> createBackend(int32_t) override {
        if (throwOnCreate) {
            throw std::runtime_error("control cannot be created");
        }
        return std::move(next);
    }
    void release(int32_t interfaceNumber) override { released.append(interfaceNumber); }
};
