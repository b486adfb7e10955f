// The facade's steps for the LIBADX devices through the rig's host objects:
// every call that reaches the control, in order, from the probe to the end of
// the run; and the [Devices] section that says which transport serves which
// device string.
#include "devices/DeviceHosts.h"
#include "RecordingControl.h"
#include "adc/AdcFacade.h"
#include "platform/ProfileFile.h"
#include "platform/RegistryArea.h"
#include "support/ManualClock.h"
#include "support/ScriptedPrompts.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <tuple>

namespace {

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
        settings.loadText(QString::fromUtf8(text));
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
