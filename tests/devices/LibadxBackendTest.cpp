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

namespace {

template <class Backend> std::unique_ptr<LibadxBackend> make(LibadxHost& host) {
    return std::make_unique<Backend>(host);
}

const struct Model {
    std::unique_ptr<LibadxBackend> (*make)(LibadxHost&);
    const char* device;
    int32_t ranges;
    float high; // range 0 spans -high..high
    const char* date;
    const char* interfaceName;
} Models[] = {
    {make<Class_USB_AD16f>, "usbbase:0", 4, 1.0f, "Apr. 02, 2010 (R)", "BMC USB-AD16f:0"},
    {make<Class_USB_AD>, "usb-ad:0", 1, 5.0f, "Apr. 02, 2010 (R)", "BMC USB-AD:0"},
    {make<Class_PciBase>, "pcibase:0", 4, 1.0f, "Jun. 15, 2010 (R)", "BMC PciBase50/300/1000:0"},
};

class Backends : public testing::Test {
protected:
    ControlScript script;
    LibadxHost host{std::make_unique<RecordingControl>(script)};
    QString dll;
};

// Channel names from 1, ranges kept when out of the table (the USB-AD has
// only range 0), and the fixed answers.
// The device opens only while no side holds it.
TEST_F(Backends, MembersAsTheFacadeReliesOnThem) {
    for (const Model& model : Models) {
        SCOPED_TRACE(model.device);
        const std::unique_ptr<LibadxBackend> backend = model.make(host);
        EXPECT_EQ(backend->AD_channel_name(0) + backend->AD_channel_name(7), "AD_1AD_8");
        EXPECT_EQ(backend->AD_channels(), 8);
        EXPECT_EQ(backend->AD_Ranges(), model.ranges);
        float low = 0.0f, high = 0.0f;
        backend->AD_Range(0, low, high);
        EXPECT_TRUE(low == -model.high && high == model.high) << low << ".." << high;
        const int32_t last = model.ranges - 1;
        EXPECT_EQ(backend->AD_set_range(last), last);
        for (const int32_t outside : {model.ranges, -1})
            EXPECT_EQ(backend->AD_set_range(outside), last) << outside;
        EXPECT_EQ(backend->AD_get(0) + backend->AD_has_diff_input() + backend->AD_input_mode(1), 0);
        EXPECT_EQ(backend->AD_winrt_device(), -1);
        EXPECT_EQ(backend->AD_dll_date(), QLatin1String(model.date));
        EXPECT_EQ(backend->AD_interface_name(), QLatin1String(model.interfaceName));

        script.calls.clear();
        host.IsOpen = 0;
        EXPECT_EQ(backend->AD_load(dll), -1);
        host.IsOpen = 1; // the D/A side
        EXPECT_EQ(backend->AD_load(dll), -1);
        EXPECT_EQ(host.IsOpen, 3);
        EXPECT_EQ(script.calls, QStringList{QStringLiteral("open ") + model.device});
    }
}

// Init reads channel 1 in range 0 once and sets the count to 1. A reading is
// the mean of exactly `count` readings of the control's channel (one higher)
// in the range in force; before any count is set it is one reading, not 0 / 0.
// A device that does not answer fails init and load quietly, and a reading
// with an error the facade turns into a skipped sample.
TEST_F(Backends, InitAndReadingsAskTheControlExactly) {
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
