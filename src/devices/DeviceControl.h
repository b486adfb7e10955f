#pragma once
// The vendor's LIBADX control as the USB-AD16f, USB-AD and PCI-Base backends
// use it: open a device string, close it, read one voltage, and the block read
// of the USB-AD. A transport (the simulated box, Industrial I/O, Modbus/TCP,
// a replayed recording) fills it. Channels and block samples count from 1, as
// the control numbers them. open() answers false for a device that does not
// open; every read throws DeviceError when the device does not answer.
#include <QString>
#include <cstdint>

class ScanStream;

class DeviceControl {
public:
    virtual ~DeviceControl() = default;

    // True when `device` ("usbbase:0", "usb-ad:0", "pcibase:0") is open afterwards.
    virtual bool open(const QString& device) = 0;
    // Closes the device; harmless when nothing is open.
    virtual void close() = 0;
    // One reading in volts of `channel` in entry `range` of the device's range table.
    virtual float readVoltage(int32_t channel, int32_t range) = 0;

    // The block read, in this order: the sample interval and the samples per
    // channel (the control may lower a count it cannot take), each channel
    // with its range, the acquisition, then every sample it took.
    virtual void setBlockTiming(float intervalSeconds, int32_t& samplesPerChannel) = 0;
    virtual void addBlockChannel(int32_t& channel, int32_t& range) = 0;
    virtual void acquireBlock() = 0;
    virtual float blockSample(int32_t& channel, int32_t& sample) = 0;

    // A counting tick (or a refresh of the live readings) begins: every
    // reading until the next call belongs to it and sees one moment of the
    // signal. `countedChannel` (from 1; 0 for none) must be read afresh; a
    // slow device may answer the others with their last reading.
    virtual void beginTick(int32_t countedChannel) { (void)countedChannel; }
    // The channels of the open device, or 0 when it has the eight that every
    // LIBADX device string has.
    virtual int32_t channels() const { return 0; }
    // The open device's stream of hardware-timed scans when its address asks
    // for a rate; null otherwise (one reading a tick).
    virtual ScanStream* scanStream() { return nullptr; }
};
