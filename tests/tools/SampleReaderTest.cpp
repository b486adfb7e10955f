#include "SampleReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {
struct Read {
    std::vector<float> values;
    SampleReader::Status status;
    std::string error;
    int64_t headerLines;
};

Read readAll(const std::string& text, SampleReader::Options options = {}) {
    std::FILE* file = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), file);
    std::rewind(file);
    SampleReader reader(file, options);
    Read result;
    float value = 0.0f;
    while ((result.status = reader.next(value)) == SampleReader::Status::Sample)
        result.values.push_back(value);
    result.error = reader.error();
    result.headerLines = reader.headerLines();
    std::fclose(file);
    return result;
}
} // namespace

TEST(SampleReader, ReadsOneValuePerLine) {
    const Read r = readAll("1.5\r\n  -2,25 \n\n+3e-1\t\n4");
    EXPECT_EQ(r.status, SampleReader::Status::End);
    EXPECT_EQ(r.values, (std::vector<float>{1.5f, -2.25f, 0.3f, 4.0f}));
}

TEST(SampleReader, ReadsACsvColumnAfterItsHeader) {
    const Read comma = readAll("time,load,stroke\nms,V,mm\n0,1.5,9\n40,2.5,9\n", {2, ','});
    EXPECT_EQ(comma.values, (std::vector<float>{1.5f, 2.5f}));
    EXPECT_EQ(comma.headerLines, 2);
    // Semicolon files from a decimal-comma locale.
    const Read semicolon = readAll("t;U\n0;1,5\n1;-0,5\n", {2, ';'});
    EXPECT_EQ(semicolon.values, (std::vector<float>{1.5f, -0.5f}));
    const Read lastColumn = readAll("1,2,3\n", {3, ','});
    EXPECT_EQ(lastColumn.values, (std::vector<float>{3.0f}));
}

TEST(SampleReader, BadLinesStopWithTheirNumberAndReason) {
    const struct {
        const char* text;
        SampleReader::Options options;
        const char* error;
    } cases[] = {
        {"1\n2\nabc\n4\n", {}, "line 3: \"abc\" is not a number"},
        {"1\n1.5.2\n", {}, "line 2: \"1.5.2\" is not a number"},
        {"1\nnan\n", {}, "line 2: \"nan\" is not a number"},
        {"1\ninf\n", {}, "line 2: \"inf\" is not a number"},
        {"1\n1e99\n", {}, "line 2: \"1e99\" is out of range"},
        {"a,b\n1,2\n3\n", {2, ','}, "line 3: has no column 2"},
        {"a,b\n1,2\n3,x\n", {2, ','}, "line 3: \"x\" is not a number"},
        {"1,2\n3,\n", {2, ','}, "line 2: the value is empty"},
    };
    for (const auto& c : cases) {
        const Read r = readAll(c.text, c.options);
        EXPECT_EQ(r.status, SampleReader::Status::Error) << c.text;
        EXPECT_EQ(r.error, c.error) << c.text;
    }
}

TEST(SampleReader, LinesSpanningReadBlocksAndOverlongLines) {
    std::string text;
    for (int i = 0; i < 300000; ++i)
        text += std::to_string(i % 1000) + ".125\n";
    const Read r = readAll(text);
    ASSERT_EQ(r.status, SampleReader::Status::End);
    ASSERT_EQ(r.values.size(), 300000u);
    EXPECT_EQ(r.values[299999], 999.125f);

    const Read overlong = readAll("1\n" + std::string(100000, '7') + "\n");
    EXPECT_EQ(overlong.status, SampleReader::Status::Error);
    EXPECT_EQ(overlong.error, "line 2: longer than 65536 characters");
}
