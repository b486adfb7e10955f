// The watch dialog and its checks: every bad text is refused with its own
// message and nothing applied; good texts reach the counter and the settings
// file; "Take reference now" and "Clear failure" are saved before the window
// shows them, and a save that fails changes nothing.
#include "DialogDriver.h"
#include "dialogs/Form_Watch.h"
#include "support/CoreRig.h"
#include "support/OnlyPrompt.h"

#include <QDir>
#include <QFile>
#include <QLabel>

namespace {

using WatchSettingsCheck::Field;
using WatchSettingsCheck::Problem;

TEST(WatchSettingsCheck, EachBadTextIsRefusedWithItsOwnMessage) {
    const QString big(256, u'x');
    const std::tuple<Field, QString, const char*> rows[] = {
        {Field::Settling, "",
         "Settling cycles (S) is empty; it takes a whole number from 0 to 100000000."},
        {Field::Settling, "12abc",
         "Settling cycles (S): \"12abc\" is not a whole number from 0 to 100000000."},
        {Field::Reference, "0",
         "Reference cycles (R): \"0\" is not a whole number from 1 to 100000."},
        {Field::Confirm, "2,5",
         "Confirming cycles (M): \"2,5\" is not a whole number from 1 to 100000."},
        {Field::AmplitudeDrop, "100",
         "Amplitude drop (X): \"100\" is not a number above 0 and at most 99.999."},
        {Field::Band, "nan", "Band (Y): \"nan\" is not a number above 0 and at most 1000."},
        {Field::Band, "1e99", "Band (Y): \"1e99\" is not a number above 0 and at most 1000."},
        {Field::Stall, "-1", "Stall time (T): \"-1\" is not a number from 0 to 2592000."},
        {Field::LogPerDecade, "0",
         "Cycle log, cycles per decade: \"0\" is not a whole number from 1 to 1000."},
        {Field::LogEveryNth, "2147483648",
         "Cycle log, every N-th cycle: \"2147483648\" is not a whole number from 0 to 2147483647."},
        {Field::Timeout, "1,5,6",
         "Command time limit: \"1,5,6\" is not a whole number from 1 to 86400."},
        {Field::OnFailure, big,
         "On failure: the command has 256 characters; the settings file keeps at most 255."},
        {Field::OnStall, "stop\nrig",
         "On stall: the command holds a line break or another control character."},
        {Field::OnStall, "mail -s 'rig stalled lab", "On stall: its ' quote is not closed."},
    };
    for (const auto& [field, text, message] : rows) {
        SCOPED_TRACE(text.toStdString());
        WatchSettingsCheck::Texts texts{true, true, false, true, "100", "50", "10", "20",
                                        "3",  "0",  "20",  "0",  "",    "",   "60"};
        QString* boxes[] = {&texts.settling,     &texts.reference,   &texts.amplitudeDrop,
                            &texts.band,         &texts.confirm,     &texts.stall,
                            &texts.logPerDecade, &texts.logEveryNth, &texts.onFailure,
                            &texts.onStall,      &texts.timeout};
        *boxes[static_cast<int>(field)] = text;
        EXPECT_EQ(std::get<QList<Problem>>(WatchSettingsCheck::check(texts, QLocale::c())),
                  (QList<Problem>{{field, QLatin1String(message)}}));
    }
    // Every number box empty: one message each, none lost after the first.
    EXPECT_EQ(std::get<QList<Problem>>(WatchSettingsCheck::check({}, QLocale::c())).size(), 9);
}

// The limits themselves are taken, decimal commas and points alike.
TEST(WatchSettingsCheck, GoodTextsGiveTheWholeSettings) {
    const QString longest = QStringLiteral(" %1 ").arg(QString(255, u'y'));
    const WatchSettingsCheck::Texts texts{
        false,  false, true,      false,  " 100000000 ", "100000", "99,999",
        "1000", "1e5", "2592000", "1000", "2147483647",  longest,  "mail -s \"stalled\" lab",
        "86400"};
    const auto [settings, commands] =
        std::get<WatchSettingsCheck::Checked>(WatchSettingsCheck::check(texts, QLocale::c()));
    EXPECT_EQ(settings, (WatchSettings{false, 100'000'000, 100'000, false, 99.999, true, false,
                                       1000, 100'000, 2'592'000, 1000, 2'147'483'647}));
    EXPECT_EQ(commands, (WatchCommands{QString(255, u'y'), "mail -s \"stalled\" lab", 86400}));
    const auto low = WatchSettingsCheck::check(
        {true, true, true, true, "0", "1", "0.001", "0,5", "1", "-0", "1", "0", "", "", "1"});
    EXPECT_EQ(std::get<WatchSettingsCheck::Checked>(low).settings,
              (WatchSettings{true, 0, 1, true, 0.001, true, true, 0.5, 1, 0, 1, 0}));
}

class WatchDialog : public testing::Test, public DialogDriver<Form_Watch> {
protected:
    CoreRig rig;
    ScriptedPrompts prompts;

    void SetUp() override {
        rig.state.TriggerEnabled = false;
        open(*rig.core, prompts);
    }
    QString shown(const char* name) const { return child<QLabel>(QLatin1String(name))->text(); }
    // One counted cycle: up to `high`, then down to `low` confirms the maximum.
    void cycle(float high, float low) {
        for (const float v : {high, low}) {
            rig.backend->voltages.assign(rig.backend->voltages.size(), v);
            rig.clock.advance(40);
            rig.core->Timer_Cyclomarkator_Timer();
        }
    }
};

TEST_F(WatchDialog, OkAppliesEverythingOrWithARefusedBoxNothing) {
    const WatchSettings before = rig.core->watch().watch().settings();
    click("Check_Armed");
    type(child("Text_Settling"), "5");
    type(child("Text_Band"), "1e99");
    type(child("Text_OnFailure"), " mail -s failed lab ");
    click("Command_OK");
    EXPECT_EQ(onlyPrompt(prompts),
              "Watch|Exclamation|Band (Y): \"1e99\" is not a number above 0 and at most "
              "1000.\nNothing was changed.");
    EXPECT_TRUE(child("Text_Band")->hasFocus());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(rig.core->watch().watch().settings(), before);
    EXPECT_FALSE(QFile::exists(rig.settings.path()));

    type(child("Text_Band"), "7,5");
    click("Command_OK");
    EXPECT_FALSE(dialog->isVisible());
    WatchSettings expected = before;
    expected.armed = true;
    expected.settlingCycles = 5;
    expected.bandPercent = 7.5;
    EXPECT_EQ(rig.core->watch().watch().settings(), expected);
    EXPECT_EQ(QStringList({rig.saved("Watch", "Armed"), rig.saved("Watch", "SettlingCycles"),
                           rig.saved("Watch", "BandPercent"), rig.saved("Watch", "OnFailure")}),
              QStringList({"1", "5", "7.5", "mail -s failed lab"}));
}

// Reference over the last R = 3 cycles, then a failure (amplitude halved,
// M = 3) that is cleared: each saved before the state line shows it. After
// clearing, a new failure needs M cycles of its own.
TEST_F(WatchDialog, TakeReferenceAndClearFailureAreSavedBeforeTheyAreShown) {
    rig.core->applyWatch({.armed = true, .settlingCycles = 1000, .referenceCycles = 3}, {});
    int shownUnsaved = 0;
    rig.view.onWatch = [&](const QString& text) {
        const bool failed = text.startsWith(QLatin1String("FAILED"));
        if (rig.saved("Watch", "ReferenceTo").isEmpty() != text.startsWith(QLatin1String("arm")) ||
            rig.saved("Watch", "FailedAt").isEmpty() == failed)
            ++shownUnsaved;
    };
    dialog->showState();
    EXPECT_EQ(greyed(), "Command_ClearFailure Command_TakeReference");
    for (int c = 1; c <= 5; ++c)
        cycle(1.0f, -1.0f);
    dialog->showState();
    EXPECT_EQ(greyed(), "Command_ClearFailure");

    // A save that fails takes nothing, and says so.
    ASSERT_TRUE(QFile::remove(rig.settings.path()) && QDir().mkdir(rig.settings.path()));
    click("Command_TakeReference");
    EXPECT_EQ(onlyPrompt(prompts), "Watch|Exclamation|The reference could not be saved in the "
                                   "settings file, so none was taken (the status line says why).");
    EXPECT_EQ(shown("Label_Reference"), "Reference: none yet");
    EXPECT_FALSE(rig.core->watch().watch().state().reference.taken);
    ASSERT_TRUE(QDir().rmdir(rig.settings.path()));

    click("Command_TakeReference");
    EXPECT_TRUE(shown("Label_Reference").contains(QLatin1String("cycles 3 to 5")));
    EXPECT_EQ(rig.view.watch, QStringLiteral("watching ±0.0 %"));
    for (int c = 6; c <= 8; ++c)
        cycle(0.5f, -0.5f);
    dialog->showState();
    EXPECT_TRUE(shown("Label_Failure").startsWith(QLatin1String("Failure: N_f 6 by the ampl")));
    EXPECT_EQ(greyed(), QString());

    prompts.shown.clear();
    click("Command_ClearFailure");
    EXPECT_EQ(prompts.shown.size(), 1); // the question, answered Yes
    EXPECT_EQ(shown("Label_Failure"), "Failure: none");
    EXPECT_EQ(rig.saved("Watch", "FailedAt"), QString());
    cycle(0.5f, -0.5f);
    EXPECT_EQ(rig.view.watch.left(8), QStringLiteral("watching"));
    cycle(0.5f, -0.5f);
    cycle(0.5f, -0.5f);
    EXPECT_EQ(rig.view.watch, QStringLiteral("FAILED at N_f 9"));
    EXPECT_EQ(shownUnsaved, 0);
}

} // namespace
