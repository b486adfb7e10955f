#include "common/IniReaders.h"
#include "common/ParseNumber.h"
#include "platform/ProfileFile.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

TEST(ParseNumber, OnlyTheFirstCommaBecomesAPointInTheCallersText) {
    QString text = QStringLiteral("1,5,5");
    EXPECT_FLOAT_EQ(ParseNumber(text), 1.5f);
    EXPECT_EQ(text, QStringLiteral("1.5,5"));
}

TEST(ParseNumber, ReadsTheLeadingNumber) {
    const struct {
        const char* text;
        float expected;
    } cases[] = {
        {"0,5", 0.5f},       {"  12 3", 123.0f}, {"\t-\n1", -1.0f},  {"+ 7", 7.0f},
        {"-2.5E2", -250.0f}, {"1D3", 1000.0f},   {"2.5e-1V", 0.25f}, {"1e", 1.0f},
        {"3.4.5", 3.4f},     {"&HFF", 255.0f},   {"&h 1f", 31.0f},   {"&O17", 15.0f},
        {"&Z1", 0.0f},       {"abc", 0.0f},      {"", 0.0f},         {".", 0.0f},
        {"-", 0.0f},         {"12abc", 12.0f},   {".5", 0.5f},       {"1e-60", 0.0f},
    };
    for (const auto& c : cases) {
        QString text = QString::fromLatin1(c.text);
        EXPECT_FLOAT_EQ(ParseNumber(text), c.expected) << c.text;
    }
}

TEST(ParseNumber, ValuesBeyondTheFloatRangeBecomeInfinite) {
    QString big = QStringLiteral("1e99");
    QString negative = QStringLiteral("-1e99");
    QString hugeExponent = QStringLiteral("1e99999999999999999999");
    EXPECT_EQ(ParseNumber(big), std::numeric_limits<float>::infinity());
    EXPECT_EQ(ParseNumber(negative), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(ParseNumber(hugeExponent), std::numeric_limits<float>::infinity());
}

TEST(ParseNumber, PlainReadingStopsAtAComma) {
    EXPECT_DOUBLE_EQ(parseLeadingNumber(u"2,5"), 2.0);
    EXPECT_DOUBLE_EQ(parseLeadingNumber(u"123456789"), 123456789.0);
}

namespace {
ProfileFile profile(const char* text) {
    ProfileFile file;
    file.loadText(QString::fromUtf8(text));
    return file;
}
} // namespace

TEST(IniReaders, ReadIniLongRoundsHalvesToEvenAndSaturates) {
    const ProfileFile file = profile("[S]\n"
                                     "comma=1234,5\nblanks=  12 3\nletters=abc\n"
                                     "half2=2.5\nhalf3=3.5\nneg=-2.5\n"
                                     "big=1e99\nsmall=-5e20\njustover=2147483648\n"
                                     "precise=123456789\n");
    const struct {
        const char* key;
        int32_t expected;
    } cases[] = {
        {"comma", 1234},
        {"blanks", 123},
        {"letters", 0},
        {"half2", 2},
        {"half3", 4},
        {"neg", -2},
        {"big", std::numeric_limits<int32_t>::max()},
        {"small", std::numeric_limits<int32_t>::min()},
        {"justover", std::numeric_limits<int32_t>::max()},
        // A count above 2^24 must come back exactly, not through a float.
        {"precise", 123456789},
        {"missing", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadIniLong(file, "s", QString::fromLatin1(c.key), -1), c.expected) << c.key;
}

TEST(IniReaders, ReadIniSingleTakesEitherSeparatorAndRejectsInfinity) {
    const ProfileFile file =
        profile("[S]\ncomma=0,2\npoint=0.5\nhuge=1e99\nnegHuge=-1e40\nmax=3.4028235E+38\n");
    EXPECT_EQ(ReadIniSingle(file, "S", "max", 9.0f), FLT_MAX);
    EXPECT_FLOAT_EQ(ReadIniSingle(file, "S", "comma", 9.0f), 0.2f);
    EXPECT_FLOAT_EQ(ReadIniSingle(file, "S", "point", 9.0f), 0.5f);
    EXPECT_FLOAT_EQ(ReadIniSingle(file, "S", "huge", 9.0f), 9.0f);
    EXPECT_FLOAT_EQ(ReadIniSingle(file, "S", "negHuge", 9.0f), 9.0f);
    EXPECT_FLOAT_EQ(ReadIniSingle(file, "S", "missing", 0.2f), 0.2f);
}

TEST(IniReaders, ReadIniStringCutsAt255Characters) {
    ProfileFile file;
    file.loadText(QStringLiteral("[S]\nlong=") + QString(10000, u'x') + QStringLiteral("\n"));
    EXPECT_EQ(ReadIniString(file, "S", "long", "d").size(), 255);
    EXPECT_EQ(ReadIniString(file, "S", "none", "d"), QStringLiteral("d"));
}

TEST(IniReaders, RoundingGuardsNaN) {
    EXPECT_EQ(roundHalfEvenToInt32(std::nan(""), 7), 7);
    EXPECT_EQ(roundHalfEvenToInt32(-0.5), 0);
    EXPECT_EQ(roundHalfEvenToInt32(-1.5), -2);
}
