#pragma once
// Turns a transport address from the [Devices] section of the settings file
// into the control that serves a device string. "sim:" with its options is
// the simulated box; more transports (Industrial I/O, Modbus/TCP, replay)
// come here as they are written.
#include <QString>
#include <memory>

class DeviceControl;
class MillisecondClock;

class DeviceTransports {
public:
    // The clock drives the simulated box and must outlive every control made.
    explicit DeviceTransports(const MillisecondClock& clock) : m_clock(clock) {}

    // Throws DeviceError saying what is wrong with an address it cannot use.
    std::unique_ptr<DeviceControl> create(const QString& address) const;

private:
    const MillisecondClock& m_clock;
};
