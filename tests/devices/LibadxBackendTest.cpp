// The USB-AD16f, USB-AD and PCI-Base backends against a control that records
// what they ask of it: the members as the facade relies on them, the IsOpen
// short cut, and averaged readings.
#include "RecordingControl.h"
#include "devices/Class_PciBase.h"
#include "devices/Class_USB_AD.h"
#include "devices/Class_USB_AD16f.h"
#include "devices/LibadxHost.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

namespace {

template <class Backend> std::unique_ptr<LibadxBackend> make(LibadxHost& host) {
    return std::make_unique<Backend>(host);
}

// The maker, the device, the ranges, the top of range 0 (-top..top), the date and the name.
const std::tuple<std::unique_ptr<LibadxBackend> (*)(LibadxHost&), const char*, int32_t, float,
                 const char*, const char*>
    Models[] = {
        {make<Class_USB_AD16f>, "usbbase:0", 4, 1.0f, "Apr. 02, 2010 (R)", "BMC USB-AD16f:0"},
        {make<Class_USB_AD>, "usb-ad:0", 1, 5.0f, "Apr. 02, 2010 (R)", "BMC USB-AD:0"},
        {make<Class_PciBase>, "pcibase:0", 4, 1.0f, "Jun. 15, 2010 (R)",
         "BMC PciBase50/300/1000:0"},
};

class Backends : public testing::Test {
protected:
    ControlScript script;
    LibadxHost host{std::make_unique<RecordingControl>(script)};
    QString dll;
};

// Channel names from 1, ranges kept when out of the table (the USB-AD has
// only range 0), and the fixed answers. The device opens only while no side
// holds it. Init reads channel 1 in range 0 once and sets the count to 1. A
// reading is the mean of exactly `count` readings of the control's channel
// (one higher) in the range in force; before any count is set it is one
// reading, not 0 / 0. A device that does not answer fails init and load
// quietly, and a reading with an error the facade turns into a skipped sample.
TEST_F(Backends, MembersAndReadingsAsTheFacadeReliesOnThem) {
    for (const auto& [maker, device, ranges, top, date, name] : Models) {
        SCOPED_TRACE(device);
        const std::unique_ptr<LibadxBackend> backend = maker(host);
        EXPECT_EQ(backend->AD_channel_name(0) + backend->AD_channel_name(7), "AD_1AD_8");
        EXPECT_EQ(backend->AD_channels(), 8);
        EXPECT_EQ(backend->AD_Ranges(), ranges);
        float low = 0.0f, high = 0.0f;
        backend->AD_Range(0, low, high);
        EXPECT_EQ(std::pair(low, high), std::pair(-top, top));
        const int32_t last = ranges - 1;
        for (const int32_t range : {last, ranges, -1})
            EXPECT_EQ(backend->AD_set_range(range), last) << range;
        EXPECT_EQ(backend->AD_get(0) + backend->AD_has_diff_input() + backend->AD_input_mode(1), 0);
        EXPECT_EQ(backend->AD_winrt_device(), -1);
        EXPECT_EQ(backend->AD_dll_date() + '|' + backend->AD_interface_name(),
                  QLatin1String(date) + '|' + QLatin1String(name));

        script.calls.clear();
        host.IsOpen = 0;
        EXPECT_EQ(backend->AD_load(dll), -1);
        host.IsOpen = 1; // the D/A side
        EXPECT_EQ(backend->AD_load(dll), -1);
        EXPECT_EQ(host.IsOpen, 3);
        EXPECT_EQ(script.calls, QStringList{QStringLiteral("open ") + device});
    }

    script.calls.clear();
    Class_PciBase backend(host);
    EXPECT_EQ(backend.AD_get_voltage(2), 3.0f);
    backend.AD_set_range(2);
    EXPECT_EQ(backend.AD_init(0), -1);
    EXPECT_EQ(backend.AD_set_averaging(0), 1);
    EXPECT_EQ(script.calls, (QStringList{"read 3 0", "read 1 0"}));

    const float readings[] = {0.5f, 1.0f, 2.0f, 4.5f};
    script.voltage = [&](int32_t, int call) { return readings[(call - 3) % 4]; };
    backend.AD_set_range(1);
    backend.AD_set_averaging(4);
    EXPECT_EQ(backend.AD_get_voltage(1), 2.0f);
    EXPECT_EQ(script.calls.mid(2), QStringList(4, "read 2 1"));

    script.failing = true;
    script.opens = false;
    EXPECT_THROW(backend.AD_get_voltage(1), DeviceError);
    EXPECT_EQ(backend.AD_init(0), 0);
    host.IsOpen = 0;
    LibadxHost withoutControl(nullptr);
    EXPECT_EQ(backend.AD_load(dll) + Class_USB_AD(withoutControl).AD_load(dll), 0);
    EXPECT_EQ(host.IsOpen + withoutControl.IsOpen, 0);
}

} // namespace
