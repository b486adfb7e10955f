#pragma once
// The devices of the device layer as the facade needs them: those reached
// through the vendor's LIBADX control (interfaces 20, 21 and 22) and the
// converters at a device address (23, 24 and 25). The probe, the backend,
// interface 20's close step, interface 21's block read, the start of each
// tick and the end of the run. The device layer implements it;
// NoLibadxDevices finds no device. Reads throw a std::exception whose text
// says why when the device does not answer.
#include "adc/Class_AD_Backend.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <stdexcept>

class LibadxDevices {
public:
    virtual ~LibadxDevices() = default;
    // Unless the device is held open already, opens and closes it once; true
    // when it answered.
    virtual bool probe(int32_t interfaceNumber) = 0;
    virtual std::unique_ptr<Class_AD_Backend> createBackend(int32_t interfaceNumber) = 0;
    // The facade's close step: the A/D side lets go of the device, which
    // closes when no side holds it any more.
    virtual void release(int32_t interfaceNumber) = 0;

    // The block read of the USB-AD (interface 21), in this order: timing and
    // samples per channel (which the control may change), each channel with
    // its range, the acquisition, then each sample (channels and samples from 1).
    virtual void setBlockTiming(float intervalSeconds, int32_t& samplesPerChannel) = 0;
    virtual void addBlockChannel(int32_t& channel, int32_t& range) = 0;
    virtual void acquireBlock() = 0;
    virtual float blockSample(int32_t& channel, int32_t& sample) = 0;

    // Program end: every device that was touched is closed.
    virtual void unloadHosts() = 0;

    // A tick of the counting (or of the live readings) begins on interface
    // `interfaceNumber`; `countedChannel` (from 0; -1 for none) is the one
    // read afresh. Readings until the next call see one moment of the signal.
    virtual void beginTick(int32_t interfaceNumber, int32_t countedChannel) {
        (void)interfaceNumber;
        (void)countedChannel;
    }
    // While quiet, a device that does not open is not told in a message (the
    // session looks again for one that was not there at start).
    virtual void setQuiet(bool quiet) { (void)quiet; }
    // What `address` reaches as interface 23, 24 or 25, opened and closed
    // once: a description ("ads1115, 4 channels"). Throws a std::exception
    // naming the wrong part of an address that cannot be used.
    virtual QString examine(int32_t interfaceNumber, const QString& address) {
        (void)interfaceNumber;
        (void)address;
        throw std::runtime_error("this program has no device layer");
    }
};

class NoLibadxDevices final : public LibadxDevices {
public:
    bool probe(int32_t) override { return false; }
    std::unique_ptr<Class_AD_Backend> createBackend(int32_t) override { return nullptr; }
    void release(int32_t) override {}
    // Nothing opens here, so there is never a block to read.
    void setBlockTiming(float, int32_t&) override {}
    void addBlockChannel(int32_t&, int32_t&) override {}
    void acquireBlock() override { throw std::runtime_error("no LIBADX device is open"); }
    float blockSample(int32_t&, int32_t&) override { return 0.0f; }
    void unloadHosts() override {}
};
