#include "adc/AdcFacade.h"

#include "support/FakeBackend.h"
#include "adc/Class_AD.h"
#include "adc/Class_AD_Dummy.h"
#include "common/ErrorText.h"
#include "common/ParseNumber.h"
#include "platform/MillisecondClock.h"
#include "platform/ProfileFile.h"
#include "platform/Prompts.h"
#include "platform/RegistryArea.h"
#include "support/ManualClock.h"
#include "support/OnlyPrompt.h"
#include "support/ScriptedPrompts.h"

#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <typeinfo>

namespace {

class Facade : public ::testing::Test {
protected:
    Facade() {
        facade.setBusy = [this](bool busy) { busyCalls.append(busy); };
    }
    FakeBackend* offerFake() {
        devices.next = std::make_unique<FakeBackend>();
        return static_cast<FakeBackend*>(devices.next.get());
    }
    // The placeholder itself, not a backend built on it.
    bool isPlaceholder() const {
        const Class_AD_Backend* backend = facade.ADBackend.get();
        return backend && typeid(*backend) == typeid(Class_AD);
    }
    int32_t open(const char* name) {
        QString given = QString::fromUtf8(name);
        return facade.ADC_open(given);
    }

    QTemporaryDir dir;
    ManualClock clock;
    RegistryArea registry{dir.filePath(QStringLiteral("registry.ini"))};
    ScriptedPrompts prompts;
    FakeDevices devices;
    QString exportFolder = dir.filePath(QStringLiteral("config"));
    AdcFacade facade{clock, registry, prompts, exportFolder, devices};
    QList<bool> busyCalls;
};

// Settings files of every program generation name the interface in their own
// way; an unknown name is blanked so that nothing stale is opened or saved.
TEST_F(Facade, FindsTheInterfaceOrBlanksTheName) {
    // Legacy and display names in any case; the Advantech name carries the
    // device number from the registry, so a stale one is unknown.
    registry.setValue("Advantech", "DeviceNumber", "3");
    const std::pair<const char*, int32_t> cases[] = {{"dummyAd", 9},
                                                     {"LibadX.ocx", 21},
                                                     {"DUMMY a/d", 9},
                                                     {"advantech pci-1716 (device number 3)", 19},
                                                     {"Advantech PCI-1716 (Device Number 0)", 0},
                                                     {"", 0},
                                                     {"Keithley KUSB-3100", 0},
                                                     {"(none)", 0}};
    for (const auto& [given, number] : cases) {
        QString name = QString::fromUtf8(given);
        EXPECT_EQ(facade.ADC_interface_number(name), number) << given;
        EXPECT_EQ(name.toStdString(), number != 0 ? given : "") << given;
    }
    registry.setValue("Advantech", "DeviceNumber", "many");
    EXPECT_EQ(facade.ADC_catalogue_name(19),
              QStringLiteral("Advantech PCI-1716 (Device Number 0)"));
}

// The simulated device opens with its own settings, keeps a channel name the
// user gave, and its settings export lists every key in order; a name outside
// the catalogue exports nothing.
TEST_F(Facade, OpensTheSimulatedDeviceAndExportsItsSettingsToHardware9) {
    facade.ADC_reset();
    facade.ADChannelInfo[2].ChannelName = QStringLiteral("Force");
    EXPECT_EQ(open("Dummy A/D"), -1);
    EXPECT_EQ(facade.ADReady, -1);
    EXPECT_TRUE(dynamic_cast<Class_AD_Dummy*>(facade.ADBackend.get()));
    EXPECT_EQ(std::tuple(facade.ADAveraging, facade.ADInputMode, facade.ADRange),
              std::tuple(1, 0, 0));
    QStringList names;
    for (const ADChannelRecord& channel : facade.ADChannelInfo)
        names << channel.ChannelName;
    EXPECT_EQ(names.join(u' ').toStdString(), "AD_0 AD_1 Force AD_3 AD_4 AD_5 AD_6 AD_7");
    EXPECT_EQ(busyCalls, (QList<bool>{true, false}));

    facade.CalOffset = 0.1f;
    facade.CalGain = 1234.5f;
    facade.ADChannelInfo[7].Selected = -1;
    facade.ADC_save_settings(facade.ADDriverFile);
    ProfileFile file(QDir(exportFolder).filePath(QStringLiteral("Hardware9")));
    ASSERT_TRUE(file.load());
    const QString text = file.text();
    qsizetype at = text.indexOf(QStringLiteral("[ADC: DummyAD]"));
    for (const char* key : {"Range=0", "Averaging=1", "Offset=", "Gain=", "Scan=0",
                            "Differential=0", "AugerADChannel=0", "[ADC: CH0]", "ChannelName=AD_0",
                            "Selected=0", "Plot=0", "Color=0", "[ADC: CH7]", "Selected=-1"}) {
        const qsizetype next = text.indexOf(QString::fromUtf8(key), at);
        EXPECT_GT(next, at) << key; // present, and in this order
        at = next;
    }
    // Singles are the short text a user would type, read back exactly in any locale.
    EXPECT_EQ(file.readString("ADC: DummyAD", "Offset", {}),
              QLocale::system().toString(0.1, 'g', QLocale::FloatingPointShortest));
    QString gain = file.readString("ADC: DummyAD", "Gain", {});
    EXPECT_EQ(ParseNumber(gain), 1234.5f) << gain.toStdString();
    for (QString name : {QString(), QStringLiteral("NoSuchDriver")})
        facade.ADC_save_settings(name);
    EXPECT_EQ(QDir(exportFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("Hardware9")});
}

// An interface that cannot be opened leaves the placeholder: one without a
// driver file is refused before any device is probed; one with no device
// answering shows no message (the start-up names it); nor does one whose init
// fails; a backend that cannot be created (none handed out, or an exception)
// is reported.
TEST_F(Facade, InterfacesThatCannotBeOpenedLeaveThePlaceholder) {
    const auto closed = [this] { return facade.ADReady == 0 && isPlaceholder(); };
    facade.ADC_reset();
    EXPECT_EQ(open("National Instruments: 6023E/6024E/6025E"), 0);
    EXPECT_TRUE(busyCalls.isEmpty());
    devices.present = false;
    EXPECT_EQ(open("BMC Messsysteme: USB-AD16f:0"), 0);
    EXPECT_TRUE(closed());
    EXPECT_EQ(busyCalls, (QList<bool>{true, false}));
    devices.present = true;
    offerFake()->initResult = 0;
    EXPECT_EQ(open("BMC Messsysteme: USB-AD:0"), 0);
    EXPECT_EQ(facade.ADInterface, 0);
    EXPECT_TRUE(closed());
    EXPECT_TRUE(prompts.shown.isEmpty());
    for (const bool throws : {false, true}) {
        prompts.shown.clear();
        devices.throwOnCreate = throws;
        EXPECT_EQ(open("LIBADX.OCX"), 0);
        EXPECT_TRUE(closed());
        EXPECT_EQ(onlyPrompt(prompts), "LibadX.ocx|Critical|" + ErrorText(429).toStdString());
    }
}

// The range the user chose last time wins over the one in memory (1); what is
// not a 32-bit number, as anyone may edit the registry, keeps that one instead
// of overflowing. The range in use at the end is kept for next time.
TEST_F(Facade, RestoresTheRangeAtOpenAndSavesItAtClose) {
    const std::pair<const char*, int32_t> cases[] = {
        {"3", 3},   {" 0 ", 0},         {"2.5", 2},         {"", 1},    {"three", 1},
        {"nan", 1}, {"99999999999", 1}, {"-2147483649", 1}, {"1e99", 1}};
    for (const auto& [stored, expected] : cases) {
        registry.setValue("ADC", "Range", stored);
        FakeBackend* fake = offerFake();
        facade.ADRange = 1;
        ASSERT_EQ(open("BMC Messsysteme: USB-AD16f:0"), -1);
        EXPECT_EQ(facade.ADRange, expected) << stored;
        EXPECT_EQ(fake->setRangeCalls, (QList<int32_t>{expected, expected})) << stored;
    }
    facade.ADRange = 3;
    facade.ADC_close();
    EXPECT_EQ(registry.value(QStringLiteral("ADC"), QStringLiteral("Range"), {}),
              QStringLiteral("3"));
    EXPECT_EQ(devices.released, (QList<int32_t>{20}));
}

// Calls before start-up has reset the facade meet the placeholder, never null
// (winrt asks without creating one); without channels read_all leaves the
// values as they are.
TEST_F(Facade, CallsBeforeAResetMeetThePlaceholderAndReadAllFollowsTheChannels) {
    EXPECT_EQ(facade.ADC_winrt_device(), -1);
    EXPECT_EQ(facade.ADBackend, nullptr);
    std::vector<float> values{9.0f};
    EXPECT_EQ(facade.ADC_read_all(values), 0);
    EXPECT_EQ(values, std::vector<float>{9.0f});
    EXPECT_TRUE(isPlaceholder());
    auto* fake = new FakeBackend;
    facade.ADBackend.reset(fake);
    fake->channels = 3;
    EXPECT_EQ(facade.ADC_read_all(values), -1);
    EXPECT_EQ(values, (std::vector<float>{0.0f, 0.5f, 1.0f}));
}

} // namespace
