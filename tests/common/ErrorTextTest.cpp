#include "common/ErrorText.h"

#include <gtest/gtest.h>

TEST(ErrorText, KnownNumbersGiveTheirText) {
    const struct {
        int32_t number;
        const char* text;
    } cases[] = {
        {0, "No error"},
        {53, "File not found"},
        {61, "Disk full"},
        {321, "Invalid file format"},
        {746, "Replacements too long"},
        {10016, "RDY TimeOut"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorText(c.number), QString::fromLatin1(c.text)) << c.number;
    EXPECT_FALSE(ErrorText(458).startsWith(QStringLiteral("Unknown error")));
}

TEST(ErrorText, NumbersOutsideTheTableAreUnknownWithTheirNumber) {
    EXPECT_EQ(ErrorText(10005), QStringLiteral("Unknown error (Code #10005)"));
    EXPECT_EQ(ErrorText(10009), QStringLiteral("Unknown error (Code #10009)"));
    EXPECT_EQ(ErrorText(-1), QStringLiteral("Unknown error (Code #-1)"));
    EXPECT_EQ(ErrorText(INT32_MIN), QStringLiteral("Unknown error (Code #-2147483648)"));
}
