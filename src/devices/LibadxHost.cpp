#include "devices/LibadxHost.h"

LibadxHost::LibadxHost(std::unique_ptr<DeviceControl> control) : m_control(std::move(control)) {}

LibadxHost::~LibadxHost() {
    // A run that ends without the orderly unload still leaves the device closed.
    try {
        Form_Unload();
    } catch (...) {
    }
}

void LibadxHost::Form_Unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    if (m_control)
        m_control->close();
}
