#include "common/ErrorText.h"

#include <gtest/gtest.h>

// Known numbers give their text, including both ends of the table and a
// number between two entries; the rest are unknown with their number.
TEST(ErrorText, GivesTheTextOrUnknownWithTheNumber) {
    const std::pair<int32_t, const char*> cases[] = {
        {0, "No error"},
        {53, "File not found"},
        {61, "Disk full"},
        {321, "Invalid file format"},
        {458, "Variable uses an Automation type not supported"},
        {746, "Replacements too long"},
        {10016, "RDY TimeOut"},
        {10005, "Unknown error (Code #10005)"},
        {10009, "Unknown error (Code #10009)"},
        {-1, "Unknown error (Code #-1)"},
        {INT32_MIN, "Unknown error (Code #-2147483648)"},
    };
    for (const auto& [number, text] : cases)
        EXPECT_EQ(ErrorText(number), QString::fromLatin1(text)) << number;
}
