#include "common/IniReaders.h"
#include "common/ParseNumber.h"
#include "platform/ProfileFile.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

namespace {
constexpr float Inf = std::numeric_limits<float>::infinity();
constexpr int32_t Max = std::numeric_limits<int32_t>::max();
constexpr int32_t Min = std::numeric_limits<int32_t>::min();

ProfileFile profile(const QString& text) {
    ProfileFile file;
    file.loadText(text);
    return file;
}
} // namespace

// The leading number of a text as a user or an old settings file writes it;
// values beyond the float range become infinite rather than wrapping or
// saturating silently.
TEST(ParseNumber, ReadsTheLeadingNumber) {
    // Only 0-9, A-F and a-f are hex digits ("&HA:").
    std::vector<std::pair<const char*, float>> cases = {
        {"0,5", 0.5f},    {"  12 3", 123.0f}, {"\t-\n1", -1.0f}, {"+ 7", 7.0f},
        {"1D3", 1000.0f}, {"2.5e-1V", 0.25f}, {"1e", 1.0f},      {"3.4.5", 3.4f},
        {"&HFF", 255.0f}, {"&h 1f", 31.0f},   {"&O17", 15.0f},   {"&HA:", 10.0f},
        {"&Z1", 0.0f},    {"", 0.0f},         {"-", 0.0f},       {".5", 0.5f},
        {"1e-60", 0.0f},  {"1e99", Inf},      {"-1e99", -Inf},   {"-2.5E2", -250.0f},
    };
    // Leading zeros of an exponent count for nothing.
    cases.insert(cases.end(), {{"1e99999999999999999999", Inf},
                               {"1E0000000000005", 100000.0f},
                               {"-2e-00000000000001", -0.2f},
                               {"1e-99999999999999999999", 0.0f}});
    for (const auto& [given, expected] : cases) {
        QString text = QString::fromLatin1(given);
        EXPECT_EQ(ParseNumber(text), expected) << given;
    }
    // Only the first comma becomes a point, in the caller's own text.
    QString text = "1,5,5";
    EXPECT_EQ(ParseNumber(text), 1.5f);
    EXPECT_EQ(text, "1.5,5");
    // The plain reading stops at a comma and keeps every digit of a double.
    EXPECT_EQ(parseLeadingNumber(u"2,5"), 2.0);
    EXPECT_EQ(parseLeadingNumber(u"123456789"), 123456789.0);
}

// Settings that anyone may edit: halves round to even, the 32-bit range
// saturates, and a count above 2^24 comes back exactly, not through a float.
TEST(IniReaders, ReadIniLongRoundsHalvesToEvenAndSaturates) {
    const ProfileFile file = profile(QStringLiteral("[S]\n"
                                                    "comma=1234,5\nblanks=  12 3\nletters=abc\n"
                                                    "half2=2.5\nhalf3=3.5\nneg=-2.5\n"
                                                    "big=1e99\nsmall=-5e20\njustover=2147483648\n"
                                                    "precise=123456789\n"));
    const std::pair<const char*, int32_t> cases[] = {
        {"comma", 1234}, {"blanks", 123}, {"letters", 0}, {"half2", 2},      {"half3", 4},
        {"neg", -2},     {"big", Max},    {"small", Min}, {"justover", Max}, {"precise", 123456789},
        {"missing", -1},
    };
    for (const auto& [key, expected] : cases)
        EXPECT_EQ(ReadIniLong(file, "s", QString::fromLatin1(key), -1), expected) << key;
    EXPECT_EQ(roundHalfEvenToInt32(std::nan(""), 7), 7);
}

// A single takes either separator, keeps FLT_MAX, and gives the default for
// what would be infinite; strings stop at 255 characters.
TEST(IniReaders, ReadIniSingleAndStringKeepToTheirRange) {
    const ProfileFile file = profile(
        QStringLiteral("[S]\ncomma=0,2\npoint=0.5\nhuge=1e99\nnegHuge=-1e40\nmax=3.4028235E+38\n"
                       "long=") +
        QString(10000, u'x'));
    const std::pair<const char*, float> cases[] = {
        {"max", FLT_MAX}, {"comma", 0.2f},   {"point", 0.5f},
        {"huge", 9.0f},   {"negHuge", 9.0f}, {"missing", 9.0f},
    };
    for (const auto& [key, expected] : cases)
        EXPECT_EQ(ReadIniSingle(file, "S", QString::fromLatin1(key), 9.0f), expected) << key;
    EXPECT_EQ(ReadIniString(file, "S", "long", "d").size(), 255);
    EXPECT_EQ(ReadIniString(file, "S", "none", "d"), "d");
}
