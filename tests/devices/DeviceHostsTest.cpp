// The LIBADX devices: the USB-AD16f, USB-AD and PCI-Base backends against a
// control that records what they ask of it (the members as the facade relies
// on them, the IsOpen short cut, averaged readings), the facade's steps
// through the rig's host objects (every call that reaches the control, in
// order, from the probe to the end of the run), and the [Devices] section
// that says which transport serves which device string.
#include "devices/DeviceHosts.h"
#include "adc/AdcFacade.h"
#include "devices/Class_PciBase.h"
#include "devices/Class_USB_AD.h"
#include "devices/Class_USB_AD16f.h"
#include "devices/DeviceError.h"
#include "devices/LibadxHost.h"
#include "platform/ProfileFile.h"
#include "platform/RegistryArea.h"
#include "support/ManualClock.h"
#include "support/ScriptedPrompts.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <tuple>

namespace {

// A device control that writes down every call with its arguments, in order,
// and answers as the test sets: `voltage` of (channel, number of the call or
// of the block sample), an open that fails, or an error for every reading.
struct ControlScript {
    QStringList calls;
    bool opens = true;
    bool failing = false;
    std::function<float(int32_t, int)> voltage = [](int32_t channel, int) {
        return static_cast<float>(channel);
    };
};

class RecordingControl final : public DeviceControl {
public:
    // The script outlives the control, so the test sees every call.
    explicit RecordingControl(ControlScript& script) : m_s(script) {}

    bool open(const QString& device) override {
        log("open " + device);
        return m_s.opens;
    }
    void close() override { log("close"); }
    float readVoltage(int32_t channel, int32_t range) override {
        log(QStringLiteral("read %1 %2").arg(channel).arg(range));
        return answer(channel, static_cast<int>(m_s.calls.size()));
    }
    void setBlockTiming(float interval, int32_t& samples) override {
        log(QStringLiteral("timing %1 %2").arg(interval).arg(samples));
    }
    void addBlockChannel(int32_t& channel, int32_t& range) override {
        log(QStringLiteral("channel %1 %2").arg(channel).arg(range));
    }
    void acquireBlock() override { log("acquire"); }
    float blockSample(int32_t& channel, int32_t& sample) override {
        log(QStringLiteral("sample %1 %2").arg(channel).arg(sample));
        return answer(channel, sample);
    }

private:
    void log(const QString& call) { m_s.calls.append(call); }
    float answer(int32_t channel, int n) {
        if (m_s.failing)
            throw DeviceError("unplugged");
        return m_s.voltage(channel, n);
    }
    ControlScript& m_s;
};

template <class Backend> std::unique_ptr<LibadxBackend> make(LibadxHost& host) {
    return std::make_unique<Backend>(host);
}

// The maker, the device, the ranges, the top of range 0 (-top..top) and the interface's name.
const std::tuple<std::unique_ptr<LibadxBackend> (*)(LibadxHost&), const char*, int32_t, float,
                 const char*>
    Models[] = {
        {make<Class_USB_AD16f>, "usbbase:0", 4, 1.0f, "BMC USB-AD16f:0"},
        {make<Class_USB_AD>, "usb-ad:0", 1, 5.0f, "BMC USB-AD:0"},
        {make<Class_PciBase>, "pcibase:0", 4, 1.0f, "BMC PciBase50/300/1000:0"},
};

// Channel names from 1, ranges kept when out of the table (the USB-AD has
// only range 0), and the interfaces' names. The device opens only while no side
// holds it. Init reads channel 1 in range 0 once and sets the count to 1. A
// reading is the mean of exactly `count` readings of the control's channel
// (one higher) in the range in force; before any count is set it is one
// reading, not 0 / 0. A device that does not answer fails init and load
// quietly, and a reading with an error the facade turns into a skipped sample.
TEST(Backends, MembersAndReadingsAsTheFacadeReliesOnThem) {
    ControlScript script;
    LibadxHost host{std::make_unique<RecordingControl>(script)};
    QString dll;
    for (const auto& [maker, device, ranges, top, name] : Models) {
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
        EXPECT_EQ(backend->AD_interface_name(), QLatin1String(name));

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

// A facade over hosts whose controls all record into `script`; the settings
// name each device's transport after its interface number.
struct Rig {
    Rig() { settings.loadText("[Devices]\nusbbase:0=20\nusb-ad:0=21\npci300:0=22\n"); }
    bool open(QString name) { return facade.ADC_open(name); }
    void end() {
        facade.ADC_close();
        facade.ADC_reset();
        hosts.unloadHosts();
    }

    QTemporaryDir dir;
    ManualClock clock;
    RegistryArea registry{dir.filePath("registry.ini")};
    ScriptedPrompts prompts;
    ProfileFile settings{dir.filePath("Cyclomarkator.INI")};
    ControlScript script;
    QStringList addresses;
    DeviceHosts hosts{settings, prompts, [this](const QString& address) {
                          addresses << address;
                          return std::make_unique<RecordingControl>(script);
                      }};
    AdcFacade facade{clock, registry, prompts, dir.path(), hosts};
};

// Interface 20: the probe opens and closes, the backend opens for good and
// reads once at init, readings come in the restored range, the close step
// closes (no side holds the device any more) and so does the end of the run.
// Interface 22 opens "pcibase:0", whichever of its names the rig uses; a
// device held open answers the probe without a call. Interface 21 reads all
// channels in one block, each value the mean of its samples (averaging 0
// takes one rather than dividing by zero), and keeps the device open until
// the end of the run. A block the device does not answer fails the read and
// says why.
TEST(LibadxSteps, ProbeOpenReadAndCloseOfEachDevice) {
    Rig rig;
    rig.registry.setValue("ADC", "Range", "2");
    ASSERT_TRUE(rig.open("BMC Messsysteme: USB-AD16f:0"));
    EXPECT_EQ(rig.facade.ADC_get_voltage(3), 4.0f);
    rig.end();
    EXPECT_EQ(rig.script.calls, (QStringList{"open usbbase:0", "close", "open usbbase:0",
                                             "read 1 0", "read 4 2", "close", "close"}));
    Rig pci;
    ASSERT_TRUE(pci.open("BMC Messsysteme: PCI-Base300/1000 + MADx"));
    EXPECT_TRUE(pci.hosts.probe(22));
    pci.end();
    EXPECT_EQ(pci.script.calls,
              (QStringList{"open pcibase:0", "close", "open pcibase:0", "read 1 0", "close"}));
    EXPECT_EQ(rig.addresses + pci.addresses, (QStringList{"20", "22"}));
    for (const int32_t averaging : {3, 0}) {
        SCOPED_TRACE(averaging);
        Rig rig;
        ASSERT_TRUE(rig.open("LIBADX.OCX"));
        rig.facade.setAveraging(averaging); // opening made 0 the backend's 1
        rig.script.voltage = [](int32_t channel, int sample) {
            return static_cast<float>(channel * 10) + (sample == 1 ? 0.5f : 0.0f);
        };
        rig.script.calls.clear();
        std::vector<float> values;
        ASSERT_TRUE(rig.facade.ADC_read_all(values));
        const int32_t samples = std::max(averaging, 1);
        QStringList expected{QStringLiteral("timing 0.01 %1").arg(samples)};
        for (int k = 1; k <= 8; ++k)
            expected << QStringLiteral("channel %1 0").arg(k);
        expected << "acquire";
        for (int k = 1; k <= 8; ++k) {
            for (int j = 1; j <= samples; ++j)
                expected << QStringLiteral("sample %1 %2").arg(k).arg(j);
            EXPECT_FLOAT_EQ(values.at(k - 1), k * 10.0f + 0.5f / static_cast<float>(samples));
        }
        EXPECT_EQ(rig.script.calls, expected);
        rig.script.failing = true;
        EXPECT_FALSE(rig.facade.ADC_read_all(values));
        EXPECT_EQ(rig.facade.readFailure(), "unplugged");
        rig.script.calls.clear();
        rig.end();
        EXPECT_EQ(rig.script.calls, QStringList{"close"});
    }
}

// No entry finds no device without a word; an entry that cannot be used says
// which key of which file and why. Keys are found regardless of case, and the
// PCI-Base under either name, its own first.
TEST(DevicesSection, EntriesFindTheirTransportOrSayWhyNot) {
    // The settings, the interface, whether it is found and the end of the message, if any.
    const std::tuple<const char*, int32_t, bool, const char*> cases[] = {
        {"", 20, false, nullptr},
        {"[Devices]\nusbbase:0=\n", 20, false, nullptr},
        {"[devices]\nUSBBASE:0 = sim:\n", 20, true, nullptr},
        {"[Devices]\npcibase:0=sim:fail_open=1\npci300:0=sim:\n", 22, false, nullptr},
        {"[Devices]\nusbbase:0=serial:/dev/ttyS0\n", 20, false,
         "The entry \"usbbase:0=serial:/dev/ttyS0\" in section [Devices] of %1 cannot be used: the "
         "transport \"serial:\" is unknown (known: sim:, iio:, modbus-tcp://, replay:)."},
        {"[Devices]\nusb-ad:0=sim:period_ms=fast\n", 21, false,
         ": sim: option \"period_ms\" needs a number (with a decimal point)."},
        {"[Devices]\npci300:0=sim:amplitude=0,5\n", 22, false, "option \"5\" is not name=value."},
        {"[Devices]\nusbbase:0=sim:seed=4\n", 20, false,
         "\"seed\" is unknown (known: period_ms, frequency, rate, channels, scans, amplitude, "
         "offset, noise, fail_after, recover_after, fail_open)."},
        {"[Devices]\nusbbase:0=sim:channels=9\n", 20, false,
         "option \"channels\" must be a whole number from 1 to 8."},
        {"[Devices]\nusbbase:0=sim:rate=0\n", 20, false,
         "option \"rate\" must be above 0 and at most 1000000."},
        {"[Devices]\nusbbase:0=sim:frequency=5,period_ms=100\n", 20, false,
         "option \"period_ms\" cannot be given with period_ms and frequency both."},
    };
    QTemporaryDir dir;
    ManualClock clock;
    for (const auto& [text, interfaceNumber, found, why] : cases) {
        SCOPED_TRACE(text);
        ProfileFile settings(dir.filePath("Cyclomarkator.INI"));
        settings.loadText(text);
        ScriptedPrompts prompts;
        DeviceHosts hosts(settings, prompts, clock);
        EXPECT_EQ(hosts.probe(interfaceNumber), found);
        ASSERT_EQ(prompts.shown.size(), why ? 1 : 0);
        if (why) {
            EXPECT_TRUE(prompts.shown[0].text.endsWith(QString(why).arg(settings.path())))
                << prompts.shown[0].text.toStdString();
        }
    }
}

} // namespace
