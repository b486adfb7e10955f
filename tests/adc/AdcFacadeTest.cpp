#include "adc/AdcFacade.h"

#include "common/ErrorText.h"
#include "common/ParseNumber.h"
#include "platform/ProfileFile.h"
#include "platform/RegistryArea.h"
#include "support/FakeBackend.h"
#include "support/ManualClock.h"
#include "support/OnlyPrompt.h"
#include "support/ScriptedPrompts.h"

#include <QDir>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

namespace {

class Facade : public ::testing::Test {
protected:
    Facade() {
        facade.setBusy = [this](bool busy) { busyCalls.append(busy); };
    }
    bool open(QString name) { return facade.ADC_open(name); }
    // Not ready, and the placeholder (no channels) serves the calls.
    bool closed() { return !facade.ready() && facade.ADC_channels() == 0; }

    QTemporaryDir dir;
    ManualClock clock;
    RegistryArea registry{dir.filePath("registry.ini")};
    ScriptedPrompts prompts;
    FakeDevices devices;
    QString exportFolder = dir.filePath("config");
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
                                                     {"Keithley KUSB-3100", 0}};
    for (const auto& [given, number] : cases) {
        QString name = given;
        EXPECT_EQ(facade.ADC_interface_number(name), number) << given;
        EXPECT_EQ(name.toStdString(), number != 0 ? given : "") << given;
    }
    registry.setValue("Advantech", "DeviceNumber", "many");
    EXPECT_EQ(facade.ADC_catalogue_name(19), "Advantech PCI-1716 (Device Number 0)");
}

// The simulated device opens with its own settings and keeps a channel name
// the user gave; the others get the device's names.
TEST_F(Facade, OpensTheSimulatedDeviceWithItsSettings) {
    facade.ADC_reset();
    facade.setChannelName(2, "Force");
    EXPECT_TRUE(open("Dummy A/D") && facade.ready());
    EXPECT_EQ(facade.ADC_interface_name(), "Dummy A/D");
    EXPECT_EQ(std::tuple(facade.interfaceNumber(), facade.averaging(), facade.inputMode(),
                         facade.range()),
              std::tuple(9, 1, 0, 0));
    QStringList names;
    for (const ADChannelRecord& channel : facade.channelInfo())
        names << channel.ChannelName;
    EXPECT_EQ(names.join(u' ').toStdString(), "AD_0 AD_1 Force AD_3 AD_4 AD_5 AD_6 AD_7");
}

// The export is read back by people and programs under any desktop language:
// every key, and singles in ASCII digits with the user's separator that read
// back exactly (no Unicode minus, no other digits, no group separators). A
// name outside the catalogue exports nothing.
TEST_F(Facade, ExportReadsBackUnderEveryLocale) {
    for (const char* localeName : {"C", "de_DE", "ar_EG", "sv_SE", "fa_IR", "hi_IN"}) {
        SCOPED_TRACE(localeName);
        QDir(exportFolder).removeRecursively();
        const QLocale locale{QString::fromLatin1(localeName)};
        AdcFacade exporter{clock, registry, prompts, exportFolder, devices, locale};
        exporter.ADC_reset();
        QString simulated = "Dummy A/D";
        ASSERT_TRUE(exporter.ADC_open(simulated));
        exporter.setCalibration({-0.1234567f, 12345.67f});
        QString driver = exporter.driverFile();
        exporter.ADC_save_settings(driver);
        ProfileFile file(QDir(exportFolder).filePath("Hardware9"));
        ASSERT_TRUE(file.load());
        for (const char* key : {"Range", "Averaging", "Scan", "Differential", "AugerADChannel"})
            EXPECT_NE(file.readString("ADC: DummyAD", key, "-"), "-") << key;
        for (const char* key : {"ChannelName", "Selected", "Plot", "Color"})
            EXPECT_NE(file.readString("ADC: CH7", key, "-"), "-") << key;
        for (const auto& [key, value] : {std::pair{"Offset", -0.1234567f}, {"Gain", 12345.67f}}) {
            QString written = file.readString("ADC: DummyAD", QLatin1String(key), {});
            EXPECT_TRUE(QRegularExpression("^[-+.,0-9Ee]+$").match(written).hasMatch()) << key;
            EXPECT_EQ(ParseNumber(written), value) << written.toStdString();
        }
    }
    for (QString name : {QString(), QStringLiteral("NoSuchDriver")})
        facade.ADC_save_settings(name);
    EXPECT_EQ(QDir(exportFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"Hardware9"});
}

// An interface that cannot be opened leaves the placeholder: one without a
// driver file is refused before any device is probed; one with no device
// answering shows no message (the start-up names it); nor does one whose init
// fails; a backend that cannot be created (none handed out, or an exception)
// is reported.
TEST_F(Facade, InterfacesThatCannotBeOpenedLeaveThePlaceholder) {
    facade.ADC_reset();
    EXPECT_FALSE(open("National Instruments: 6023E/6024E/6025E"));
    EXPECT_TRUE(busyCalls.isEmpty());
    devices.present = false;
    EXPECT_FALSE(open("BMC Messsysteme: USB-AD16f:0"));
    EXPECT_TRUE(closed());
    EXPECT_EQ(busyCalls, (QList<bool>{true, false}));
    devices.present = true;
    devices.offer()->initResult = 0;
    EXPECT_FALSE(open("BMC Messsysteme: USB-AD:0"));
    EXPECT_TRUE(closed());
    EXPECT_TRUE(prompts.shown.isEmpty());
    for (const bool throws : {false, true}) {
        prompts.shown.clear();
        devices.throwOnCreate = throws;
        EXPECT_FALSE(open("LIBADX.OCX"));
        EXPECT_FALSE(facade.ready());
        EXPECT_EQ(onlyPrompt(prompts), "LibadX.ocx|Critical|" + ErrorText(429).toStdString());
    }
}

// The range the user chose last time wins over the one in memory (1); what is
// not a 32-bit number, as anyone may edit the registry, keeps that one instead
// of overflowing. The range in use at the end is kept on disk for next time.
TEST_F(Facade, RestoresTheRangeAtOpenAndSavesItAtClose) {
    const std::pair<const char*, int32_t> cases[] = {
        {"3", 3},   {" 0 ", 0},         {"2.5", 2},         {"", 1},    {"three", 1},
        {"nan", 1}, {"99999999999", 1}, {"-2147483649", 1}, {"1e99", 1}};
    for (const auto& [stored, expected] : cases) {
        registry.setValue("ADC", "Range", stored);
        FakeBackend* fake = devices.offer();
        facade.setRange(1);
        ASSERT_TRUE(open("BMC Messsysteme: USB-AD16f:0"));
        EXPECT_EQ(facade.range(), expected) << stored;
        EXPECT_EQ(fake->setRangeCalls, (QList<int32_t>{expected, expected})) << stored;
    }
    facade.setRange(3);
    facade.ADC_close();
    EXPECT_EQ(RegistryArea(registry.path()).value("ADC", "Range", {}), "3");
    EXPECT_EQ(devices.released, (QList<int32_t>{20}));
}

// Calls before start-up has reset the facade meet the placeholder, never null
// (winrt asks without creating one); without channels read_all leaves the
// values as they are. A reading the device does not answer is no number that
// could pass for a voltage: read_all fails and leaves the values alone (the
// tick's use of the failure is checked with the counting core).
TEST_F(Facade, CallsBeforeAResetMeetThePlaceholderAndReadAllFollowsTheChannels) {
    EXPECT_EQ(facade.ADC_winrt_device(), -1);
    std::vector<float> values{9.0f};
    EXPECT_FALSE(facade.ADC_read_all(values));
    EXPECT_EQ(values, std::vector<float>{9.0f});
    FakeBackend* fake = devices.offer();
    fake->voltages = {0.0f, 0.5f, 1.0f};
    ASSERT_TRUE(open("BMC Messsysteme: USB-AD16f:0"));
    EXPECT_TRUE(facade.ADC_read_all(values));
    EXPECT_EQ(values, (std::vector<float>{0.0f, 0.5f, 1.0f}));

    fake->failure = "cable pulled";
    EXPECT_TRUE(std::isnan(facade.ADC_get_voltage(1)));
    EXPECT_FALSE(facade.ADC_read_all(values));
    EXPECT_EQ(values, (std::vector<float>{0.0f, 0.5f, 1.0f}));
}

} // namespace
