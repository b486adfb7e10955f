#include "dialogs/ProfileCheck.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <limits>

namespace {

// "to/N to/N ..." from row 0; "/" is an empty row.
ProfileTexts textsOf(const char* rows, const char* fallback) {
    ProfileTexts texts;
    const QStringList given = QString::fromLatin1(rows).split(u' ', Qt::SkipEmptyParts);
    for (qsizetype row = 0; row < given.size(); ++row) {
        const QStringList pair = given[row].split(u'/');
        texts.to[static_cast<size_t>(row)] = pair.value(0);
        texts.N[static_cast<size_t>(row)] = pair.value(1);
    }
    texts.N[6] = QString::fromLatin1(fallback);
    return texts;
}

constexpr int32_t Max = std::numeric_limits<int32_t>::max();

TEST(CheckProfiles, RowsRiseStrictlyFromOneAndEndAtTheFirstEmptyBound) {
    const struct {
        const char* rows;
        const char* fallback;
        bool ok;
        std::vector<ProfileRow> passed;
    } cases[] = {
        {"/x 10/2", "1", true, {}},
        {"10/2 20/5 15/1", "200", false, {{10, 2}, {20, 5}}},
        {"-5/2", "200", false, {}},
        {"ten/2", "200", false, {}},                        // letters read as bound 0
        {"10,7/2 10.7/2", "200", true, {{10, 2}, {11, 2}}}, // a comma ends the bound
        {"1e99/1 1e98/1", "200", false, {{Max, 1}}},        // stops at the limit
        {"10/", "200", false, {}},
        {"10/0.5", "200", false, {}},
        {"10/1.5", "200", true, {{10, 2}}},
        {"10/2", "0", false, {{10, 2}}},
        {"", "often", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows);
        const ProfileCheck check = CheckProfiles(textsOf(c.rows, c.fallback));
        EXPECT_EQ(check.ok, c.ok);
        ASSERT_EQ(check.rows, static_cast<int32_t>(c.passed.size()));
        for (size_t row = 0; row < c.passed.size(); ++row)
            EXPECT_EQ(check.profile[row], c.passed[row]) << row;
    }
}

} // namespace
