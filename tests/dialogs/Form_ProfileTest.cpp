#include "dialogs/Form_Profile.h"

#include "DialogFixture.h"
#include "support/OnlyPrompt.h"

#include <QComboBox>

namespace {

// Rows are written "to/N to/N ..." from row 0; "/" is an empty row. How each
// text is read is the check class's table; here what the dialog does with it.
class ProfileDialog : public DialogFixture<Form_Profile> {
protected:
    void SetUp() override {
        // An earlier profile that a refused one must leave as it is.
        state.ProfileRows = 3;
        state.TriggerProfile = {{{5, 1}, {50, 7}, {500, 9}, {}, {}, {}, {0, 1000}}};
        state.ExtraEvents = 1;
        reopen();
    }
    QLineEdit* to(int row) const { return child(QStringLiteral("Text_to_%1").arg(row)); }
    QLineEdit* every(int row) const { return child(QStringLiteral("Text_N_%1").arg(row)); }
    QComboBox* events() const { return child<QComboBox>(QStringLiteral("Combo_TriggerEvents")); }
    void fill(const char* rows, const char* fallback) {
        const QStringList given = QString::fromLatin1(rows).split(u' ', Qt::SkipEmptyParts);
        for (int row = 0; row < 6; ++row) {
            const QString pair = given.value(row, QStringLiteral("/"));
            type(to(row), pair.section(u'/', 0, 0));
            type(every(row), pair.section(u'/', 1, 1));
        }
        type(every(6), QString::fromLatin1(fallback));
    }
    // What the boxes show: the six rows, then the fallback.
    std::string shown() const {
        QStringList shown;
        for (int row = 0; row < 6; ++row)
            shown.append(to(row)->text() + u'/' + every(row)->text());
        return (shown.join(u' ') + u' ' + every(6)->text()).toStdString();
    }
    // What OK applied: the rows, the fallback, and the events and next trigger shown.
    std::string applied() const {
        QStringList shown;
        for (size_t row = 0; row < static_cast<size_t>(state.ProfileRows); ++row)
            shown << QStringLiteral("%1/%2")
                         .arg(state.TriggerProfile[row].BelowCycle)
                         .arg(state.TriggerProfile[row].Every);
        shown << QString::number(state.TriggerProfile[6].Every) << view.events << view.nextTrigger;
        return shown.join(u' ').toStdString();
    }
};

// The rows that passed stay, so the user corrects from the first bad one; and
// a failed OK changes nothing at all.
TEST_F(ProfileDialog, RefusedProfileEmptiesFromTheFailingRowAndAppliesNothing) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        // rows, fallback, the boxes after the message
        {"10/2 10/5", "200", "10/2 / / / / / 200"},
        {"1/1 2/1 3/1 4/1 5/1 6/1", "", "1/1 2/1 3/1 4/1 5/1 6/1 "},
        {"10/2 / 30/x", "0", "10/2 / / / / / 0"}, // rows after an empty bound go too
    };
    const CountingState before = state;
    for (const auto& [rows, fallback, left] : cases) {
        SCOPED_TRACE(rows);
        prompts.shown.clear();
        fill(rows, fallback);
        click("Command_OK");
        EXPECT_EQ(onlyPrompt(prompts), "Profile|Critical|One or more values are invalid.");
        EXPECT_EQ(shown(), left);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(state, before);
        EXPECT_TRUE(view.events.isEmpty() && view.nextTrigger.isEmpty());
    }
}

// The empty third bound ends the rows, so the invalid ones after it do not
// count; with extra events the next trigger from a count of 0 is 1, not the
// interval.
TEST_F(ProfileDialog, ValidProfileIsAppliedAndShownAtOnce) {
    fill("10/2 20/5 / 5/0 x/", "200");
    events()->setCurrentIndex(2);
    click("Command_OK");
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(applied(), "10/2 20/5 200 3x 1");
}

// The dialog opens on the rows in use, the fallback and the extra events;
// Default fills the boxes only, and OK then applies them.
TEST_F(ProfileDialog, LoadShowsTheProfileAndDefaultThenOkAppliesTheDefaults) {
    EXPECT_EQ(shown(), "5/1 50/7 500/9 / / / 1000");
    EXPECT_EQ(events()->count(), 3);
    EXPECT_EQ(events()->currentText(), QStringLiteral("2"));
    type(every(6), QStringLiteral("3"));
    click("Command_Default");
    EXPECT_EQ(state.ProfileRows, 3);
    click("Command_OK");
    EXPECT_EQ(applied(), "10/2 20/5 50/10 100/20 200/50 500/100 200 1x 2");
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

} // namespace
