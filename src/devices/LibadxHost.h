#pragma once
// The host object of one LIBADX device, where the vendor control lives. It
// exists once per run (owned by the session's DeviceHosts) and is shared by
// the probe and the backend. IsOpen holds the sides that keep the device
// open: bit value 2 the A/D side, 1 the D/A side, which this program never
// opens. Unloading at program end closes the control, whatever IsOpen says.
#include "devices/DeviceControl.h"

#include <cstdint>
#include <memory>

class LibadxHost {
public:
    static constexpr int32_t AdSide = 2;

    // `control` is null when the rig configures no transport for the device:
    // then nothing opens.
    explicit LibadxHost(std::unique_ptr<DeviceControl> control);
    virtual ~LibadxHost();
    LibadxHost(const LibadxHost&) = delete;
    LibadxHost& operator=(const LibadxHost&) = delete;

    DeviceControl* LIBADX1() const { return m_control.get(); }

    // Program end: tells the control to close; later calls do nothing.
    void Form_Unload();

    int32_t IsOpen = 0;

private:
    std::unique_ptr<DeviceControl> m_control;
    bool m_unloaded = false;
};
