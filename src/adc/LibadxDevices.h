#pragma once
// The devices reached through the vendor's LIBADX control (interfaces 20, 21
// and 22). The facade asks here whether a device answers and for its backend.
// Until the hardware backends exist, NoLibadxDevices finds no device.
#include "adc/Class_AD_Backend.h"

#include <cstdint>
#include <memory>

class LibadxDevices {
public:
    virtual ~LibadxDevices() = default;
    // Opens and closes the device of `interfaceNumber` once; true when it answered.
    virtual bool probe(int32_t interfaceNumber) = 0;
    virtual std::unique_ptr<Class_AD_Backend> createBackend(int32_t interfaceNumber) = 0;
    // Program end: release what the devices hold (USB-AD16f only).
    virtual void release(int32_t interfaceNumber) = 0;
};

class NoLibadxDevices final : public LibadxDevices {
public:
    bool probe(int32_t) override { return false; }
    std::unique_ptr<Class_AD_Backend> createBackend(int32_t) override { return nullptr; }
    void release(int32_t) override {}
};
