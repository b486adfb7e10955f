#pragma once
// The host object of the USB-AD (interface 21): a LibadxHost under the name the
// backends and the facade know it by.
#include "devices/LibadxHost.h"

class Form_BMC_USBAD final : public LibadxHost {
public:
    using LibadxHost::LibadxHost;
};
