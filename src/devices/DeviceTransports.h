#pragma once
// Turns a transport address into the control that serves it: "sim:" the
// simulated box, "iio:" a Linux Industrial I/O converter, "modbus-tcp://" a
// Modbus/TCP module, "replay:" a recorded signal. Used for the values of the
// [Devices] section (the BMC device strings) and for the [HARDWARE] Device=
// of interfaces 23, 24 and 25, each of which takes one transport.
#include <QString>
#include <cstdint>
#include <memory>

class ConverterControl;
class DeviceControl;
class MillisecondClock;

class DeviceTransports {
public:
    // The clock drives the simulated box, paces a replayed stream and the
    // Modbus reconnections; it must outlive every control made.
    explicit DeviceTransports(const MillisecondClock& clock) : m_clock(clock) {}

    // Throws DeviceError saying what is wrong with an address it cannot use.
    std::unique_ptr<DeviceControl> create(const QString& address) const;
    // The converter of interface 23, 24 or 25; the address must be of its transport.
    std::unique_ptr<ConverterControl> createConverter(int32_t interfaceNumber,
                                                      const QString& address) const;
    // "iio:", "modbus-tcp://" or "replay:"; empty for other interfaces.
    static QString schemeOf(int32_t interfaceNumber);

private:
    std::unique_ptr<ConverterControl> converter(const QString& address) const;

    const MillisecondClock& m_clock;
};
