#include "dialogs/ProfileCheck.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

// "to/N to/N ..." from row 0 ("/" is an empty row) in; out come the rows that
// passed, then "fallback <N>" when the whole profile is valid, else "refused".
std::string check(const char* rows, const char* fallback) {
    ProfileTexts texts;
    const QStringList given = QString::fromLatin1(rows).split(u' ', Qt::SkipEmptyParts);
    for (qsizetype row = 0; row < given.size(); ++row) {
        texts.to[static_cast<size_t>(row)] = given[row].section(u'/', 0, 0);
        texts.N[static_cast<size_t>(row)] = given[row].section(u'/', 1, 1);
    }
    texts.N[6] = QString::fromLatin1(fallback);
    const ProfileCheck check = CheckProfiles(texts);
    QStringList shown;
    for (size_t row = 0; row < static_cast<size_t>(check.rows); ++row)
        shown << QStringLiteral("%1/%2")
                     .arg(check.profile[row].BelowCycle)
                     .arg(check.profile[row].Every);
    shown << (check.ok ? QStringLiteral("fallback %1").arg(check.fallback)
                       : QStringLiteral("refused"));
    return shown.join(u' ').toStdString();
}

// Letters read as bound 0, a comma ends a bound, halves round to even and a
// huge bound stops at the limit.
TEST(CheckProfiles, RowsRiseStrictlyFromOneAndEndAtTheFirstEmptyBound) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"/x 10/2", "1", "fallback 1"},
        {"10/2 20/5 15/1", "200", "10/2 20/5 refused"},
        {"-5/2", "200", "refused"},
        {"ten/2", "200", "refused"},
        {"10,7/2 10.7/2", "200", "10/2 11/2 fallback 200"},
        {"1e99/1 1e98/1", "200", "2147483647/1 refused"},
        {"10/", "200", "refused"},
        {"10/0.5", "200", "refused"},
        {"10.5/1.5", "199.5", "10/2 fallback 200"},
        {"10/2", "0", "10/2 refused"},
        {"", "often", "refused"}};
    for (const auto& [rows, fallback, expected] : cases)
        EXPECT_EQ(check(rows, fallback), expected) << rows;
}

} // namespace
