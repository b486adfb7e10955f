#pragma once
// The A/D facade over the simulated converter or over a backend whose answers
// the test sets, with scripted prompts and the export in a temporary folder.
#include "adc/AdcFacade.h"
#include "platform/RegistryArea.h"
#include "support/FakeBackend.h"
#include "support/ManualClock.h"
#include "support/ScriptedPrompts.h"

#include <QTemporaryDir>
#include <deque>
#include <memory>
#include <utility>

// Raw counts, ranges and differential inputs as set; voltages are handed out
// from `queued` first (one per reading), then per channel as FakeBackend does.
class SetBackend final : public FakeBackend {
public:
    int32_t raw = 0;
    std::vector<std::pair<float, float>> ranges{{-5.0f, 5.0f}};
    int32_t differential = 0;
    std::deque<float> queued;

    int32_t AD_get(int32_t) override { return raw; }
    float AD_get_voltage(int32_t channel) override {
        if (queued.empty())
            return FakeBackend::AD_get_voltage(channel);
        const float next = queued.front();
        queued.pop_front();
        return next;
    }
    int32_t AD_Ranges() override { return static_cast<int32_t>(ranges.size()); }
    void AD_Range(int32_t range, float& min, float& max) override {
        std::tie(min, max) = ranges.at(static_cast<size_t>(range));
    }
    int32_t AD_has_diff_input() override { return differential; }
    int32_t AD_input_mode(int32_t mode) override { return differential ? mode : 0; }
    int32_t AD_set_averaging(int32_t count) override { return count < 1 ? 1 : count; }
    QString AD_channel_name(int32_t channel) override {
        return QStringLiteral("In") + QString::number(channel);
    }
};

class SetupRig {
public:
    // A vendor interface read channel by channel (the USB-AD reads in blocks
    // through the device control, which the fake devices do not play).
    static inline const QString VendorDevice = QStringLiteral("BMC Messsysteme: USB-AD16f:0");

    // The simulated converter reads 7.07 V (raw 55937) at 2500 ms.
    void openSimulated() { open(QStringLiteral("Dummy A/D")); }
    // The backend with `channels` channels that the next opening of the USB-AD gets.
    SetBackend& offer(int channels) {
        auto made = std::make_unique<SetBackend>();
        made->voltages.assign(static_cast<size_t>(channels), 0.0f);
        backend = made.get();
        devices.next = std::move(made);
        return *backend;
    }
    SetBackend& openSet(int channels) {
        offer(channels);
        open(VendorDevice);
        return *backend;
    }
    void open(const QString& name) {
        adc.setInterfaceName(name);
        QString opened = name;
        adc.setReady(adc.ADC_open(opened));
    }

    QTemporaryDir dir;
    ManualClock clock{2500};
    RegistryArea registry{dir.filePath(QStringLiteral("registry.ini"))};
    ScriptedPrompts prompts;
    FakeDevices devices;
    AdcFacade adc{clock, registry, prompts, dir.path(), devices, QLocale::c()};
    SetBackend* backend = nullptr;
};
