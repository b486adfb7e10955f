#include "dialogs/Form_Profile.h"

#include "DialogFixture.h"

#include <QComboBox>
#include <QFile>

namespace {

// Rows are written "to/N to/N ..." from row 0; "/" is an empty row.
class ProfileDialog : public DialogFixture<Form_Profile> {
protected:
    void SetUp() override { start(); }
    // An earlier profile that a refused one must leave as it is.
    void start() {
        state.ProfileRows = 3;
        state.TriggerProfile = {{{5, 1}, {50, 7}, {500, 9}, {}, {}, {}, {0, 1000}}};
        state.ExtraEvents = 1;
        reopen();
    }
    QLineEdit* to(int row) const { return child(QStringLiteral("Text_to_%1").arg(row)); }
    QLineEdit* every(int row) const { return child(QStringLiteral("Text_N_%1").arg(row)); }
    void fill(const char* rows, const char* fallback) {
        const QStringList given = QString::fromLatin1(rows).split(u' ', Qt::SkipEmptyParts);
        for (int row = 0; row < 6; ++row) {
            const QString pair = given.value(row, QStringLiteral("/"));
            type(to(row), pair.section(u'/', 0, 0));
            type(every(row), pair.section(u'/', 1, 1));
        }
        type(every(6), QLatin1String(fallback));
    }
    // What the boxes show: the six rows, then the fallback.
    QString shown() const {
        QStringList shown;
        for (int row = 0; row < 6; ++row)
            shown << to(row)->text() + u'/' + every(row)->text();
        return shown.join(u' ') + u' ' + every(6)->text();
    }
    // What the counter took: its rows, then the fallback.
    QString applied() const {
        QStringList taken;
        for (size_t row = 0; row < static_cast<size_t>(state.ProfileRows); ++row)
            taken << QStringLiteral("%1/%2")
                         .arg(state.TriggerProfile[row].BelowCycle)
                         .arg(state.TriggerProfile[row].Every);
        return (taken << QString::number(state.TriggerProfile[6].Every)).join(u' ');
    }
};

// Bounds rise strictly from 1 or more, each row needs its interval of at least
// 1, and so does the fallback. Letters read as 0 and a comma ends a number.
// The rows that passed stay, so the user corrects from the first bad one; and
// a refused profile changes nothing at all.
TEST_F(ProfileDialog, RefusedProfileEmptiesFromTheFailingRowAndAppliesNothing) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        // rows, fallback, the boxes after the message
        {"10/2 10/5", "200", "10/2 / / / / / 200"},
        {"10/2 20/5 15/1", "200", "10/2 20/5 / / / / 200"},
        {"0/2", "200", "/ / / / / / 200"},
        {"-5/2", "200", "/ / / / / / 200"},
        {"ten/2", "200", "/ / / / / / 200"},
        {"1e99/1 1e98/1", "200", "1e99/1 / / / / / 200"}, // both stop at the limit
        {"10/", "200", "/ / / / / / 200"},
        {"10/0.5", "200", "/ / / / / / 200"},
        {"10/2", "0", "10/2 / / / / / 0"},
        {"10/2 / 30/x", "often", "10/2 / / / / / often"}, // rows after an empty bound go too
        {"1/1 2/1 3/1 4/1 5/1 6/1", "", "1/1 2/1 3/1 4/1 5/1 6/1 "},
    };
    const CountingState before = state;
    for (const auto& [rows, fallback, left] : cases) {
        SCOPED_TRACE(rows);
        prompts.shown.clear();
        fill(rows, fallback);
        click("Command_OK");
        EXPECT_EQ(onlyPrompt(prompts), "Profile|Critical|One or more values are invalid.");
        EXPECT_EQ(shown(), QLatin1String(left));
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(state, before);
    }
    EXPECT_FALSE(QFile::exists(rig.settings.path()));
    EXPECT_TRUE(view.events.isEmpty() && view.nextTrigger.isEmpty());
}

// The rows end at the first empty bound, whatever follows; halves round to
// even and a comma ends a number.
TEST_F(ProfileDialog, ValidProfileIsApplied) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"10/2 20/5 / 5/0 x/", "200", "10/2 20/5 200"},
        {"/x 10/2", "1", "1"},
        {"10,7/2 10.7/2", "200", "10/2 11/2 200"},
        {"10.5/1.5", "199.5", "10/2 200"},
        {"1/1 2/1 3/1 4/1 5/1 6/1", "9", "1/1 2/1 3/1 4/1 5/1 6/1 9"},
    };
    for (const auto& [rows, fallback, taken] : cases) {
        start();
        fill(rows, fallback);
        click("Command_OK");
        EXPECT_TRUE(prompts.shown.isEmpty()) << rows;
        EXPECT_EQ(dialog->result(), QDialog::Accepted) << rows;
        EXPECT_EQ(applied(), QLatin1String(taken)) << rows;
    }
}

// The dialog opens on the rows in use, the fallback and the extra events;
// Default fills the boxes only, and OK then applies them, saved before they
// show; with extra events the next trigger from a count of 0 is 1.
TEST_F(ProfileDialog, OpensOnTheProfileAndDefaultThenOkAppliesTheDefaults) {
    EXPECT_EQ(shown(), QStringLiteral("5/1 50/7 500/9 / / / 1000"));
    auto* events = child<QComboBox>(QStringLiteral("Combo_TriggerEvents"));
    EXPECT_EQ(events->count(), 3);
    EXPECT_EQ(events->currentText(), QStringLiteral("2"));
    type(every(6), QStringLiteral("3"));
    click("Command_Default");
    EXPECT_EQ(events->currentText(), QStringLiteral("1"));
    EXPECT_EQ(state.ProfileRows, 3);
    events->setCurrentIndex(2);
    click("Command_OK");
    EXPECT_EQ(applied(), QStringLiteral("10/2 20/5 50/10 100/20 200/50 500/100 200"));
    EXPECT_EQ(QStringList({view.events, view.nextTrigger}), QStringList({"3x", "1"}));
    EXPECT_EQ(QStringList({rig.saved("Profile", "Profiles"), rig.saved("Trigger", "Events")}),
              QStringList({"6", "2"}));
}

// Enter is OK (the default button); Cancel and Escape take nothing.
TEST_F(ProfileDialog, EnterTakesTheProfileCancelAndEscapeDoNot) {
    for (const Qt::Key key : {Qt::Key_unknown, Qt::Key_Escape, Qt::Key_Return}) {
        reopen();
        fill("10/2", "200");
        if (key == Qt::Key_unknown) // the Cancel button
            click("Command_Cancel");
        else
            QTest::keyClick(every(6), key);
        const bool taken = key == Qt::Key_Return;
        EXPECT_EQ(dialog->result(), taken ? QDialog::Accepted : QDialog::Rejected) << key;
        EXPECT_EQ(state.ProfileRows, taken ? 1 : 3) << key;
    }
}

TEST_F(ProfileDialog, CaptionsAndAccessKeys) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Trigger Profile"));
    EXPECT_EQ(captions(), QStringList({"&Default", "OK", "Cancel"}));
    QTest::keyClick(dialog.get(), Qt::Key_N, Qt::AltModifier);
    EXPECT_TRUE(child<QComboBox>(QStringLiteral("Combo_TriggerEvents"))->hasFocus());
}

} // namespace
