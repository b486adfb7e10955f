// The A/D setup dialog over the simulated converter and over a backend whose
// answers the test sets: what it shows, what each control changes in the
// facade, the change/accept mode and its restart question, the live readings
// (Timer1 is fired by the test) and the export written when it closes.
#include "DialogDriver.h"
#include "SetupRig.h"
#include "dialogs/Form_ADSetup.h"
#include "dialogs/ReadingText.h"
#include "platform/ProfileFile.h"
#include "support/OnlyPrompt.h"

#include <QComboBox>
#include <QLabel>
#include <QTimer>

#include <cmath>

namespace {

class SetupDialog : public testing::Test, public DialogDriver<Form_ADSetup> {
protected:
    SetupRig rig;

    void show() { open(rig.adc, rig.prompts); }
    template <class T = QWidget> T* w(const QString& name) const { return child<T>(name); }
    // The text of a box, button or label.
    QString text(const QString& name) const { return w(name)->property("text").toString(); }
    // The texts of the eight rows of Label_CH, Text_Label or Label_Voltage.
    QString rows(const char* name) const {
        QStringList texts;
        for (int i = 0; i < 8; ++i)
            texts << text(QLatin1String(name) + '_' + QString::number(i));
        return texts.join(u'|');
    }
    QString items(const char* name) const {
        QStringList texts;
        for (int i = 0; i < w<QComboBox>(name)->count(); ++i)
            texts << w<QComboBox>(name)->itemText(i);
        return texts.join(u'|');
    }
    // Picks a list entry as the user does.
    void choose(const char* list, int index) const {
        w<QComboBox>(list)->setCurrentIndex(index);
        Q_EMIT w<QComboBox>(list)->activated(index);
    }
    // Replaces the text of a box as a paste does: in one change.
    void paste(const QString& name, const QString& text) const {
        w<QLineEdit>(name)->selectAll();
        w<QLineEdit>(name)->insert(text);
    }
    bool timerOn() const { return w<QTimer>("Timer1")->isActive(); }
    void tick() const {
        ASSERT_TRUE(timerOn());
        ASSERT_TRUE(QMetaObject::invokeMethod(w<QTimer>("Timer1"), "timeout"));
    }
    QString exported(const char* file, const QString& section, const char* key) const {
        ProfileFile profile(rig.dir.filePath(QLatin1String(file)));
        profile.load();
        return profile.readString(section, QLatin1String(key), QStringLiteral("<missing>"));
    }
};

// The simulated converter as the dialog opens on it, with the access keys
// the user works with. Names typed or restored by a double-click are the
// channels' names, whole in the export (that no line break bends it, the
// settings file's own tests show); giving the converter up keeps the names;
// closing, even by Escape, exports.
TEST_F(SetupDialog, OpensOnTheSimulatedConverterAndNamesReachTheExportWhole) {
    rig.openSimulated();
    show();
    EXPECT_EQ(QStringList({dialog->windowTitle(), w<QComboBox>("Combo_Name")->currentText(),
                           text("Label_Status"), items("Combo_Range"),
                           w<QComboBox>("Combo_Range")->currentText(), text("Text_Averaging")}),
              QStringList({"A/D-Converter [Dummy A/D]", "Dummy A/D (running)", "Dummy A/D",
                           "-10V ... 10V ", "-10V ... 10V ", "1"}));
    EXPECT_TRUE(w<QAbstractButton>("Option_Input_mode_0")->isChecked());
    EXPECT_EQ(rows("Label_CH"), "&1: AD CH0|&2: AD CH1|&3: AD CH2|&4: AD CH3|&5: AD CH4|"
                                "&6: AD CH5|&7: AD CH6|&8: AD CH7");
    for (const auto& [key, name] : {std::pair{Qt::Key_S, "Text_Averaging"},
                                    {Qt::Key_3, "Text_Label_2"},
                                    {Qt::Key_D, "Option_Display_3"}}) {
        QTest::keyClick(dialog.get(), key, Qt::AltModifier);
        EXPECT_TRUE(w(name)->hasFocus()) << name;
    }
    paste("Text_Label_0", QStringLiteral("Load\n[ADC: CH1]\r\nChannelName=forged"));
    paste("Text_Label_2", QStringLiteral("a=b"));
    paste("Text_Label_3", QStringLiteral("gone"));
    QTest::mouseDClick(w("Label_CH_3"), Qt::LeftButton);
    click("Command_Change");
    choose("Combo_Name", 0);
    click("Command_Accept");
    show();
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    QStringList names;
    for (int i = 0; i < 4; ++i)
        names << exported("Hardware9", QStringLiteral("ADC: CH%1").arg(i), "ChannelName");
    EXPECT_EQ(names.join(u'|'), "Load [ADC: CH1]  ChannelName=forged|AD_1|a=b|AD CH3");
}

// What the user can reach: with a converter, nothing open, in change mode,
// and with 16 channels, two ranges and differential inputs. The detector is
// never usable; "Cali&brated" only goes with mV and says that it corrects nothing.
// Samples per reading take effect at once and the box shows the count in
// force: text without a number gives 1, and no reading may take minutes.
// The range and input mode picked are the ones in force.
TEST_F(SetupDialog, ControlsFollowTheConverterAndTheModeAndTakeEffectAtOnce) {
    // Channels (0: the simulated converter; -1: nothing open), change mode, greyed.
    const std::tuple<int, bool, const char*> states[] = {
        {0, false,
         "Check_More Combo_Name Combo_Range Command_Accept Frame_Auger Option_Input_mode_1"},
        {-1, false,
         "Check_More Combo_Name Command_Accept Command_Calibration Frame_Auger "
         "Frame_NameOfChannel Frame_Reading Frame_Settings"},
        {0, true,
         "Check_Calibration Check_More Command_Calibration Command_Change Command_OK "
         "Frame_Auger Frame_NameOfChannel Frame_Reading Frame_Settings"},
        {16, false, "Combo_Name Command_Accept Frame_Auger"},
    };
    for (const auto& [channels, change, off] : states) {
        rig.adc.setReady(false);
        if (channels == 0)
            rig.openSimulated();
        if (channels > 0) {
            rig.offer(channels).ranges = {{-1.0f, 1.0f}, {-10.0f, 10.0f}};
            rig.backend->differential = -1;
            rig.open(SetupRig::VendorDevice);
        }
        show();
        if (change)
            click("Command_Change");
        EXPECT_EQ(greyed(), off) << channels;
        EXPECT_EQ(timerOn(), !change) << channels;
        EXPECT_EQ(items("Combo_Name").count("(running)"), channels < 0 ? 0 : 1);
        EXPECT_EQ(w<QComboBox>("Combo_Name")->currentText(),
                  channels < 0    ? "Dummy A/D"
                  : channels == 0 ? "Dummy A/D (running)"
                                  : SetupRig::VendorDevice + " (running)");
    }
    click("Option_Display_1");
    EXPECT_FALSE(w("Check_Calibration")->isEnabled());
    EXPECT_TRUE(w("Check_Calibration")->toolTip().contains("not corrected"));
    const std::pair<const char*, int32_t> cases[] = {{"17", 17}, {"0", 1},       {"nan", 1},
                                                     {"2,5", 2}, {"1001", 1000}, {" 12 x", 12}};
    for (const auto& [typed, count] : cases) {
        paste("Text_Averaging", QLatin1String(typed));
        EXPECT_EQ(rig.adc.averaging(), count) << typed;
        EXPECT_EQ(text("Text_Averaging"), QString::number(count)) << typed;
    }
    EXPECT_EQ(items("Combo_Range"), "-1V ... 1V |-10V ... 10V ");
    choose("Combo_Range", 1);
    click("Option_Input_mode_1");
    EXPECT_EQ(std::pair(rig.adc.range(), rig.adc.inputMode()), std::pair(1, 1));
    // Rows past the last channel stay empty, whatever names an earlier converter left.
    rig.openSet(3);
    show();
    EXPECT_EQ(rows("Text_Label"), "AD_0|AD_1|AD_2|||||");
}

// Each display mode, read at every tick of Timer1; a failed read (a NaN, a
// converter that does not answer) is no number. "Channel 09...16" shows
// channels 8..15 under names that cannot be edited (already for a ninth
// channel), and rows without a channel stay empty.
TEST_F(SetupDialog, LiveReadingsInTheFourDisplayModes) {
    SetBackend& backend = rig.openSet(9);
    show();
    // The option, the raw count and the volts read, and what shows.
    const std::tuple<const char*, int32_t, float, const char*> cases[] = {
        {"Option_Display_2", -91, 0.0f, "...1010.0101  "},
        {"Option_Display_1", -2, 0.0f, "0xFFFFFFFE  "},
        {"Option_Display_0", 0, 1.2345f, "1234.5 mV  "},
        {"Option_Display_0", 0, -0.00001f, "0.0 mV  "},
        {"Option_Display_0", 0, NAN, "-----"},
        {"Option_Display_3", 0, 123456789.0f, "1.234568E+08  "}};
    for (const auto& [option, raw, volts, shown] : cases) {
        click(option);
        backend.raw = raw;
        backend.voltages[0] = volts;
        tick();
        EXPECT_EQ(text("Label_Voltage_0"), QLatin1String(shown)) << option;
    }
    backend.failure = "the converter does not answer";
    for (const char* option : {"Option_Display_0", "Option_Display_3"}) {
        click(option);
        tick();
        EXPECT_EQ(rows("Label_Voltage"), "-----|-----|-----|-----|-----|-----|-----|-----");
    }
    backend.failure = nullptr;
    backend.voltages[8] = 8.0f;
    click("Check_More");
    tick();
    EXPECT_EQ(rows("Label_CH"), "  AD CH8|  AD CH9|  AD CH10|  AD CH11|  AD CH12|  AD CH13|"
                                "  AD CH14|  AD CH15");
    EXPECT_EQ(rows("Text_Label"), "AD CH8|||||||");
    EXPECT_EQ(rows("Label_Voltage"), "8  |||||||");
    EXPECT_FALSE(w("Text_Label_0")->isEnabled());
    click("Check_More");
    EXPECT_EQ(rows("Text_Label"), "In0|In1|In2|In3|In4|In5|In6|In7");
}

// Accepting an interface: the running one changes nothing and asks nothing;
// "(none)" stops the readings at once without a restart, and nothing is
// marked as running any more; another one asks for the restart, which either
// stores it and ends the dialog for the program's end, or brings the running
// entry back.
TEST_F(SetupDialog, AcceptingAnInterface) {
    const std::string question =
        "Cyclomarkator|Critical|You must Restart Cyclomarkator.exe to use the new hardware!";
    const QString pci = QStringLiteral("BMC Messsysteme: PCI-Base300/1000 + MADx");
    using enum PromptAnswer;
    // The entry accepted, the answer to the question, the message, the dialog's
    // result (0 while it stays open), the interface for the next start, whether
    // the converter is ready, and the entry shown.
    const std::tuple<int, PromptAnswer, std::string, int, QString, bool, QString> cases[] = {
        {1, Ok, "0 messages", 0, "Dummy A/D", true, "Dummy A/D (running)"},
        {0, Ok, "0 messages", 0, "(none)", false, "(none)"},
        {2, Cancel, question, 0, "Dummy A/D", true, "Dummy A/D (running)"},
        {4, Ok, question, Form_ADSetup::Restart, pci, true, pci}};
    for (const auto& [entry, answer, prompt, result, stored, ready, selected] : cases) {
        SCOPED_TRACE(entry);
        rig.prompts.shown.clear();
        rig.prompts.answers = {answer};
        rig.openSimulated();
        show();
        click("Command_Change");
        choose("Combo_Name", entry);
        EXPECT_EQ(w<QLabel>("Picture_AD")->pixmap().isNull(), entry < 2);
        click("Command_Accept");
        EXPECT_EQ(onlyPrompt(rig.prompts), prompt);
        EXPECT_EQ(std::tuple(dialog->result(), rig.adc.interfaceName(), rig.adc.ready(),
                             w<QComboBox>("Combo_Name")->currentText()),
                  std::tuple(result, stored, ready, selected));
        if (result != 0)
            continue;
        EXPECT_TRUE(w("Command_OK")->isEnabled() && !w("Combo_Name")->isEnabled());
        EXPECT_TRUE(w("Check_Calibration")->isEnabled());
        tick();
        EXPECT_EQ(text("Label_Voltage_0").isEmpty(), !ready);
        EXPECT_EQ(timerOn(), ready);
        EXPECT_EQ(items("Combo_Name").contains("(running)"), ready);
    }
    // The restart stored the new interface's export; closing wrote the one in use.
    EXPECT_EQ(exported("Hardware22", "ADC: " + pci, "Range"), "0");
    EXPECT_EQ(exported("Hardware9", "ADC: DummyAD", "Averaging"), "1");
}

// A converter's "Device:" shows with its entries only, says what an address
// finds as it is typed, and is taken (with a restart) only where something
// was found: a wrong one is named and keeps the dialog in change mode.
TEST_F(SetupDialog, AConverterIsTakenOnlyAtAnAddressThatFindsIt) {
    rig.openSimulated();
    show();
    click("Command_Change");
    // No entry lies outside the list, whatever index a list hands on.
    for (const int outside : {-1, w<QComboBox>("Combo_Name")->count()})
        Q_EMIT w<QComboBox>("Combo_Name")->activated(outside);
    EXPECT_EQ(w<QComboBox>("Combo_Name")->currentText(), "Dummy A/D (running)");
    choose("Combo_Name", 1);
    EXPECT_FALSE(w("Text_Device")->isVisible());
    choose("Combo_Name", 7);
    ASSERT_EQ(w<QComboBox>("Combo_Name")->currentText(), "Recorded signal (replay)");
    EXPECT_TRUE(w("Text_Device")->isVisible() && w("Text_Device")->isEnabled());
    QTest::keyClick(dialog.get(), Qt::Key_D, Qt::AltModifier);
    EXPECT_TRUE(w("Text_Device")->hasFocus());
    // What is typed, what the status says, the message on Accept, the dialog's result.
    const std::tuple<const char*, const char*, std::string, int> steps[] = {
        {"signal.csv", "replay: the address names no file",
         "Cyclomarkator|Critical|Device: replay: the address names no file", 0},
        {"replay:signal.csv", "signal.csv, 3 samples",
         "Cyclomarkator|Critical|You must Restart Cyclomarkator.exe to use the new hardware!",
         Form_ADSetup::Restart}};
    for (const auto& [typed, status, prompt, result] : steps) {
        SCOPED_TRACE(typed);
        rig.prompts.shown.clear();
        rig.prompts.answers = {PromptAnswer::Ok};
        paste("Text_Device", typed);
        Q_EMIT w<QLineEdit>("Text_Device")->editingFinished();
        EXPECT_EQ(text("Label_DeviceStatus"), status);
        click("Command_Accept");
        EXPECT_EQ(onlyPrompt(rig.prompts), prompt);
        EXPECT_EQ(dialog->result(), result);
        EXPECT_TRUE(result != 0 || w("Command_Accept")->isEnabled());
    }
    EXPECT_EQ(rig.adc.interfaceName(), "Recorded signal (replay)");
    EXPECT_EQ(rig.adc.deviceAddress(), "replay:signal.csv");
}

} // namespace

namespace {
// The stored auger channel picks its entry only while the converter has it: one
// just past the last channel (a converter with fewer channels now) picks none;
// so does a range the backend kept past the end of its list.
TEST(SetupLogic, AnAugerChannelOrARangePastTheLastPicksNone) {
    for (const auto& [stored, picked] :
         std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {3, 3}, {4, -1}, {-1, -1}}) {
        SetupRig rig;
        rig.openSet(4);
        rig.adc.setAugerChannel(stored);
        ADSetupLogic logic(rig.adc, rig.prompts, QLocale::c());
        logic.Form_Load();
        EXPECT_EQ(logic.controls().augerIndex, picked) << stored;
    }
    SetupRig rig;
    rig.openSet(4).ranges = {{-1.0f, 1.0f}, {-10.0f, 10.0f}};
    ADSetupLogic logic(rig.adc, rig.prompts, QLocale::c());
    logic.Form_Load();
    for (const auto& [asked, picked] : {std::pair{1, 1}, {2, -1}, {-1, -1}, {0, 0}}) {
        logic.Combo_Range_Click(asked);
        EXPECT_EQ(logic.controls().rangeIndex, picked) << asked;
    }
}

// The dialog's line on how the converter is sampled, in the user's locale.
TEST(SamplingText, SaysTheRateAndWhatWasMeasured) {
    const QLocale german(QLocale::German, QLocale::Germany);
    const std::tuple<double, double, int64_t, QLocale, const char*> rows[] = {
        {0.0, 0.0, 0, QLocale::c(), "One sample a tick (25/s); no cycles measured yet"},
        {0.0, 0.5, 50, QLocale::c(),
         "One sample a tick (25/s); 0.5 cycles/s measured, 50 samples a cycle"},
        {20000.0, 300.04, 67, german,
         "Stream: 20000 scans/s; 300,0 cycles/s measured, 67 samples a cycle"},
        {2.5, 0.0, 0, german, "Stream: 2,5 scans/s; no cycles measured yet"},
    };
    for (const auto& [rate, perSecond, samples, locale, text] : rows)
        EXPECT_EQ(ReadingText::sampling(rate, perSecond, samples, locale), QString(text));
}
} // namespace
