#pragma once
// The host object of the PCI-Base (interface 22): a LibadxHost under the name the
// backends and the facade know it by.
#include "devices/LibadxHost.h"

class Form_BMC_LibadX final : public LibadxHost {
public:
    using LibadxHost::LibadxHost;
};
