#include "common/ErrorText.h"

#include <gtest/gtest.h>

#include <cerrno>

// Known numbers give their text, including both ends of the table and a
// number between two entries; the rest are unknown with their number.
TEST(ErrorText, GivesTheTextOrUnknownWithTheNumber) {
    const std::pair<int32_t, const char*> cases[] = {
        {0, "No error"},
        {53, "File not found"},
        {746, "Replacements too long"},
        {10016, "RDY TimeOut"},
        {10005, "Unknown error (Code #10005)"},
        {-1, "Unknown error (Code #-1)"},
        {INT32_MIN, "Unknown error (Code #-2147483648)"},
    };
    for (const auto& [number, text] : cases)
        EXPECT_EQ(ErrorText(number), QString::fromLatin1(text)) << number;
}

// A failed file operation shows the error the user knows for its cause.
TEST(ErrorText, FileFailuresGiveTheErrorTheUserKnows) {
    const std::pair<int, int32_t> cases[] = {{ENOENT, 76}, {ENOTDIR, 76}, {EACCES, 70},
                                             {EPERM, 70},  {EROFS, 70},   {ENOSPC, 61},
                                             {EDQUOT, 61}, {EIO, 57},     {EISDIR, 75}};
    for (const auto& [errnoValue, number] : cases)
        EXPECT_EQ(errorNumberForErrno(errnoValue), number) << errnoValue;
}
