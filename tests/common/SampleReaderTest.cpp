// The offline counter's sample reader: one value per line or one CSV column,
// and a bad line stops the run with its number and the reason.
#include "common/SampleReader.h"

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

// Blanks, CR LF, decimal commas and header lines above a CSV column must
// neither drop nor shift a sample.
TEST(SampleReader, ReadsPlainLinesAndCsvColumnsAfterTheirHeader) {
    EXPECT_EQ(readAll("1.5\r\n  -2,25 \n\n+3e-1\t\n4").values,
              (std::vector<float>{1.5f, -2.25f, 0.3f, 4.0f}));
    const Read csv = readAll("time,load,stroke\nms,V,mm\n0,1.5,9\n40,2.5,9\n", {2, ','});
    EXPECT_EQ(csv.values, (std::vector<float>{1.5f, 2.5f}));
    EXPECT_EQ(csv.headerLines, 2);
    EXPECT_EQ(readAll("t;U\n0;1,5\n1;-0,5\n", {2, ';'}).values, (std::vector<float>{1.5f, -0.5f}));
    EXPECT_EQ(readAll("1,2,3\n", {3, ','}).values, (std::vector<float>{3.0f}));
}

// A bad line must stop the count, not be skipped, and name the line and why.
TEST(SampleReader, BadLinesStopWithTheirNumberAndReason) {
    const struct {
        std::string text;
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
        {"1\n" + std::string(100000, '7') + "\n", {}, "line 2: longer than 65536 characters"},
    };
    for (const auto& c : cases) {
        const Read r = readAll(c.text, c.options);
        EXPECT_EQ(r.status, SampleReader::Status::Error) << c.text.substr(0, 20);
        EXPECT_EQ(r.error, c.error) << c.text.substr(0, 20);
    }
}

// Lines cut by the read buffer must still read whole.
TEST(SampleReader, LinesSpanningReadBlocksAreReadWhole) {
    std::string text;
    for (int i = 0; i < 300000; ++i)
        text += std::to_string(i % 1000) + ".125\n";
    const Read r = readAll(text);
    ASSERT_EQ(r.status, SampleReader::Status::End);
    ASSERT_EQ(r.values.size(), 300000u);
    EXPECT_EQ(r.values[299999], 999.125f);
}
