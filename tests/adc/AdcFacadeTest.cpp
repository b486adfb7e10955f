#include "adc/AdcFacade.h"

#include "FakeBackend.h"
#include "adc/Class_AD.h"
#include "adc/Class_AD_Dummy.h"
#include "common/ErrorText.h"
#include "common/ParseNumber.h"
#include "platform/MillisecondClock.h"
#include "platform/ProfileFile.h"
#include "platform/Prompts.h"
#include "platform/RegistryArea.h"

#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class Facade : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        facade.setBusy = [this](bool busy) { busyCalls.append(busy); };
    }
    FakeBackend* offerFake() {
        devices.next = std::make_unique<FakeBackend>();
        return static_cast<FakeBackend*>(devices.next.get());
    }
    FakeBackend* installFake() {
        facade.ADBackend = std::make_unique<FakeBackend>();
        return static_cast<FakeBackend*>(facade.ADBackend.get());
    }
    bool isPlaceholder() const { return dynamic_cast<Class_AD*>(facade.ADBackend.get()); }
    void setRegistry(const char* section, const char* key, const char* value) {
        registry.setValue(QString::fromUtf8(section), QString::fromUtf8(key),
                          QString::fromUtf8(value));
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

struct LookUp {
    const char* name;
    int32_t number;
    const char* nameAfter;
};

class FacadeLookUp : public Facade, public ::testing::WithParamInterface<LookUp> {};

TEST_P(FacadeLookUp, FindsTheInterfaceOrBlanksTheName) {
    QString name = QString::fromUtf8(GetParam().name);
    EXPECT_EQ(facade.ADC_interface_number(name), GetParam().number);
    EXPECT_EQ(name, QString::fromUtf8(GetParam().nameAfter));
}

INSTANTIATE_TEST_SUITE_P(
    Names, FacadeLookUp,
    ::testing::Values(LookUp{"DUMMYAD", 9, "DUMMYAD"}, LookUp{"dummyAd", 9, "dummyAd"},
                      LookUp{"DUMMY a/d", 9, "DUMMY a/d"}, LookUp{"LibadX.ocx", 21, "LibadX.ocx"},
                      LookUp{"bmc messsysteme: usb-ad16f:0", 20, "bmc messsysteme: usb-ad16f:0"},
                      LookUp{"", 0, ""}, LookUp{"Keithley KUSB-3100", 0, ""},
                      LookUp{"(none)", 0, ""}, LookUp{"Dummy A/D ", 0, ""}));

TEST_F(Facade, AdvantechNameFollowsTheRegistryDeviceNumber) {
    setRegistry("Advantech", "DeviceNumber", "3");
    QString current = QStringLiteral("advantech pci-1716 (device number 3)");
    EXPECT_EQ(facade.ADC_interface_number(current), 19);
    QString stale = QStringLiteral("Advantech PCI-1716 (Device Number 0)");
    EXPECT_EQ(facade.ADC_interface_number(stale), 0);
    setRegistry("Advantech", "DeviceNumber", "many");
    EXPECT_EQ(facade.ADC_catalogue_name(19),
              QStringLiteral("Advantech PCI-1716 (Device Number 0)"));
}

TEST_F(Facade, OpensTheSimulatedDevice) {
    facade.ADC_reset();
    facade.ADChannelInfo[2].ChannelName = QStringLiteral("Force");
    QString name = QStringLiteral("Dummy A/D");
    EXPECT_EQ(facade.ADC_open(name), -1);
    EXPECT_EQ(facade.ADReady, -1);
    EXPECT_TRUE(dynamic_cast<Class_AD_Dummy*>(facade.ADBackend.get()));
    EXPECT_GE(facade.ADAveraging, 1);
    EXPECT_EQ(facade.ADInputMode, 0);
    EXPECT_EQ(facade.ADRange, 0);
    for (int ch = 0; ch < 8; ++ch) {
        EXPECT_EQ(facade.ADChannelInfo[static_cast<size_t>(ch)].ChannelName,
                  ch == 2 ? QStringLiteral("Force") : QStringLiteral("AD_%1").arg(ch));
    }
    EXPECT_EQ(busyCalls, (QList<bool>{true, false}));
}

TEST_F(Facade, InterfacesThatCannotBeOpenedLeaveThePlaceholder) {
    facade.ADC_reset();
    QString national = QStringLiteral("National Instruments: 6023E/6024E/6025E");
    EXPECT_EQ(facade.ADC_open(national), 0);
    EXPECT_TRUE(busyCalls.isEmpty()); // refused before any device is probed

    NoLibadxDevices none;
    AdcFacade plain(clock, registry, prompts, exportFolder, none);
    plain.setBusy = facade.setBusy;
    QString usb = QStringLiteral("BMC Messsysteme: USB-AD16f:0");
    EXPECT_EQ(plain.ADC_open(usb), 0);
    EXPECT_EQ(plain.ADReady, 0);
    EXPECT_TRUE(dynamic_cast<Class_AD*>(plain.ADBackend.get()));
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_EQ(busyCalls, (QList<bool>{true, false}));

    offerFake()->initResult = 0;
    QString usbAd = QStringLiteral("BMC Messsysteme: USB-AD:0");
    EXPECT_EQ(facade.ADC_open(usbAd), 0);
    EXPECT_EQ(facade.ADReady, 0);
    EXPECT_EQ(facade.ADInterface, 0);
    EXPECT_TRUE(isPlaceholder());
}

TEST_F(Facade, BackendThatCannotBeCreatedIsReported) {
    for (const bool throws : {false, true}) { // no backend handed out, or an exception
        prompts.shown.clear();
        devices.throwOnCreate = throws;
        QString name = QStringLiteral("LIBADX.OCX");
        EXPECT_EQ(facade.ADC_open(name), 0);
        EXPECT_EQ(facade.ADReady, 0);
        EXPECT_TRUE(isPlaceholder());
        ASSERT_EQ(prompts.shown.size(), 1);
        EXPECT_EQ(prompts.shown[0].title, QStringLiteral("LibadX.ocx"));
        EXPECT_EQ(prompts.shown[0].icon, PromptIcon::Critical);
        EXPECT_EQ(prompts.shown[0].text, ErrorText(429));
    }
}

TEST_F(Facade, RestoresTheRangeAfterInitAndSavesItAtClose) {
    setRegistry("ADC", "Range", "2");
    FakeBackend* fake = offerFake();
    QString name = QStringLiteral("BMC Messsysteme: USB-AD16f:0");
    ASSERT_EQ(facade.ADC_open(name), -1);
    EXPECT_EQ(fake->setRangeCalls, (QList<int32_t>{2, 2}));
    facade.ADRange = 3;
    facade.ADC_close();
    EXPECT_EQ(registry.value(QStringLiteral("ADC"), QStringLiteral("Range"), {}),
              QStringLiteral("3"));
    EXPECT_EQ(devices.released, (QList<int32_t>{20}));
}

struct RangeText {
    const char* stored;
    int32_t expected;
};

class FacadeRange : public Facade, public ::testing::WithParamInterface<RangeText> {};

TEST_P(FacadeRange, StoredRangeOrTheOneInMemory) {
    setRegistry("ADC", "Range", GetParam().stored);
    FakeBackend* fake = installFake();
    facade.ADRange = 1;
    EXPECT_EQ(facade.ADC_init(5), -1);
    EXPECT_EQ(facade.ADRange, GetParam().expected);
    EXPECT_EQ(fake->setRangeCalls, (QList<int32_t>{GetParam().expected}));
}

INSTANTIATE_TEST_SUITE_P(Texts, FacadeRange,
                         ::testing::Values(RangeText{"3", 3}, RangeText{" 0 ", 0},
                                           RangeText{"2.5", 2}, RangeText{"", 1},
                                           RangeText{"three", 1}, RangeText{"99999999999", 1},
                                           RangeText{"-2147483649", 1}, RangeText{"1e99", 1},
                                           RangeText{"nan", 1}));

TEST_F(Facade, CallsBeforeAnyResetNeverReachANullBackend) {
    EXPECT_EQ(facade.ADC_winrt_device(), -1);
    EXPECT_EQ(facade.ADBackend, nullptr);
    EXPECT_EQ(facade.ADC_channels(), 0);
    EXPECT_TRUE(isPlaceholder());
}

TEST_F(Facade, ReadAllGivesOneVoltagePerChannel) {
    FakeBackend* fake = installFake();
    std::vector<float> values{9.0f};
    fake->channels = 0;
    EXPECT_EQ(facade.ADC_read_all(values), 0);
    EXPECT_EQ(values, std::vector<float>{9.0f});
    fake->channels = 3;
    EXPECT_EQ(facade.ADC_read_all(values), -1);
    EXPECT_EQ(values, (std::vector<float>{0.0f, 0.5f, 1.0f}));
}

TEST_F(Facade, ExportsTheSimulatedDeviceSettingsToHardware9) {
    facade.ADC_reset();
    QString name = QStringLiteral("Dummy A/D");
    ASSERT_EQ(facade.ADC_open(name), -1);
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
    QString offset = file.readString(QStringLiteral("ADC: DummyAD"), QStringLiteral("Offset"), {});
    QString gain = file.readString(QStringLiteral("ADC: DummyAD"), QStringLiteral("Gain"), {});
    EXPECT_EQ(offset, QLocale::system().toString(0.1, 'g', QLocale::FloatingPointShortest));
    EXPECT_EQ(ParseNumber(gain), 1234.5f) << gain.toStdString();
}

TEST_F(Facade, ExportOfANameOutsideTheCatalogueWritesNothing) {
    ASSERT_TRUE(QDir().mkpath(exportFolder));
    for (const QString& given : {QString(), QStringLiteral("NoSuchDriver")}) {
        QString name = given;
        facade.ADC_save_settings(name);
        EXPECT_TRUE(QDir(exportFolder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot));
    }
}

} // namespace
