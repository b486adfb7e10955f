#pragma once
// The host object of the USB-AD16f (interface 20): a LibadxHost under the name the
// backends and the facade know it by.
#include "devices/LibadxHost.h"

class Form_BMC_AD16f final : public LibadxHost {
public:
    using LibadxHost::LibadxHost;
};
