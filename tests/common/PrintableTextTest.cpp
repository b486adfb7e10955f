// Text from outside on its way to a line of the status line, stdout, stderr or
// the journal: whatever could end the line, forge another one or turn the text
// around is escaped, and everything else is left as it came.
#include "common/PrintableText.h"

#include <gtest/gtest.h>

TEST(PrintableLine, EscapesWhatCouldForgeOrTurnALine) {
    const std::pair<QString, QString> cases[] = {
        {"1\x1b[2J\n2030-01-01 00:00:00 Count 999999 (",
         "1\\x1B[2J\\x0A2030-01-01 00:00:00 Count 999999 ("},
        {QString::fromUtf16(u"a\0b\r\t\x7f", 6), "a\\x00b\\x0D\\x09\\x7F"},
        {QString::fromUtf16(u"\x85\x9b\x9f|\xa0"), QString::fromUtf16(u"\\x85\\x9B\\x9F|\xa0")},
        {QString::fromUtf16(u"\u2028\u2029\u202a\u202e\u2066\u2069"),
         "\\u2028\\u2029\\u202A\\u202E\\u2066\\u2069"},
        // Ours and a user's own words pass: accents, dashes, characters beyond 16 bits.
        {QString::fromUtf16(u"Grüße – 5 V \U0001F600 \u2027\u202f\u2065\u206a"),
         QString::fromUtf16(u"Grüße – 5 V \U0001F600 \u2027\u202f\u2065\u206a")},
    };
    for (const auto& [given, shown] : cases)
        EXPECT_EQ(printableLine(given), shown) << given.toStdString();
}
