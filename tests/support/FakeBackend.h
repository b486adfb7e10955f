#pragma once
// A backend and vendor devices whose answers a test sets and whose calls it
// records, for the paths the simulated device cannot reach.
#include "adc/Class_AD.h"
#include "adc/LibadxDevices.h"

#include <QList>
#include <memory>
#include <stdexcept>
#include <vector>

// The placeholder with set answers for what the facade asks of a device; the
// rest stays the placeholder's. Channels are as many as `voltages` holds.
class FakeBackend : public Class_AD {
public:
    std::vector<float> voltages = {0.0f, 0.5f, 1.0f, 1.5f};
    std::vector<int32_t> reads; // channels read, in order
    int32_t initResult = -1;
    const char* failure = nullptr; // while set, every reading fails with this text
    QList<int32_t> setRangeCalls;
    ScanStream* stream = nullptr; // the device's stream, when it has one

    ScanStream* scanStream() override { return stream; }

    int32_t AD_channels() override { return static_cast<int32_t>(voltages.size()); }
    float AD_get_voltage(int32_t channel) override {
        reads.push_back(channel);
        if (failure)
            throw std::runtime_error(failure);
        return voltages.at(static_cast<size_t>(channel));
    }
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

    // The backend the next opening of a vendor interface gets.
    FakeBackend* offer() {
        next = std::make_unique<FakeBackend>();
        return static_cast<FakeBackend*>(next.get());
    }
    bool probe(int32_t) override { return present; }
    std::unique_ptr<Class_AD_Backend> createBackend(int32_t) override {
        if (throwOnCreate)
            throw std::runtime_error("control cannot be created");
        return std::move(next);
    }
    void release(int32_t interfaceNumber) override { released.append(interfaceNumber); }
    // The block read is the device layer's; its tests drive it with a real control.
    void setBlockTiming(float, int32_t&) override {}
    void addBlockChannel(int32_t&, int32_t&) override {}
    void acquireBlock() override { throw std::runtime_error("no block read here"); }
    float blockSample(int32_t&, int32_t&) override { return 0.0f; }
    void unloadHosts() override {}
    // Finds a converter at "replay:NAME" only.
    QString examine(int32_t, const QString& address) override {
        if (!address.startsWith(QLatin1String("replay:")))
            throw std::runtime_error("replay: the address names no file");
        return address.mid(7) + QStringLiteral(", 3 samples");
    }
};
