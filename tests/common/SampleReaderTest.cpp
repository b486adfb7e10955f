// The reader of recorded histories: text lines, delimited and blank-separated
// columns with times and gaps, binary samples, gzip; a bad input stops the
// reading with where and why, never with a guess or a silent end.
#include "common/SampleReader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {
using Format = SampleReader::Format;
using Status = SampleReader::Status;

struct Read {
    std::vector<float> values;
    std::vector<double> times;
    SampleReader::Status status;
    std::string error;
    int64_t headerLines, gaps;
    char delimiter;
};

Read readAll(const std::string& bytes, SampleReader::Options options = {}) {
    std::FILE* file = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    SampleReader reader(file, options);
    Read r;
    float value = 0.0f;
    for (int64_t i = 0; i < 100'000'000 && (r.status = reader.next(value)) == Status::Sample; ++i) {
        r.values.push_back(value);
        r.times.push_back(reader.time());
    }
    std::tie(r.error, r.headerLines, r.gaps, r.delimiter) =
        std::tuple(reader.error(), reader.headerLines(), reader.gaps(), reader.delimiter());
    std::fclose(file);
    return r;
}

SampleReader::Options column(int n, char delimiter = SampleReader::Detect, int time = 0) {
    return {.column = n, .delimiter = delimiter, .timeColumn = time};
}

template <typename T> std::string bytesOf(const std::vector<T>& values) {
    return std::string(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
}

std::string gzip(const std::string& bytes) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}
} // namespace

// Blanks, CR LF, decimal commas and header lines above a column must neither
// drop nor shift a sample, whichever delimiter the file uses; a time column
// hands out each sample's time.
TEST(SampleReader, ReadsLinesAndColumnsAfterTheirHeader) {
    EXPECT_EQ(readAll("time,load,stroke\nms,V,mm\n0,1.5,9\n", column(2, ',')).headerLines, 2);
    // text, options, samples, delimiter (0: whole lines)
    const std::tuple<std::string, SampleReader::Options, std::vector<float>, char> cases[] = {
        {"1.5\r\n  -2,25 \n\n+3e-1\t\n4", {}, {1.5f, -2.25f, 0.3f, 4.0f}, 0},
        {"time,load,stroke\nms,V,mm\n0,1.5,9\n40,2.5,9\n", column(2, ','), {1.5f, 2.5f}, ','},
        {"t;U\n0;1,5\n1;-0,5\n", column(2), {1.5f, -0.5f}, ';'},
        {"1,2,3\n", column(3), {3.0f}, ','},
        {"1\t\t3\n", column(3), {3.0f}, '\t'},
        {"% t  U\n   5.0e-02  -1.2e+00\n\t1.0e-01 2\n", column(2), {-1.2f, 2.0f}, ' '},
        {"1,5 2,5\n", column(2), {2.5f}, ' '}, // a decimal comma, not a delimiter
        {"a b\n 1  2 \r\n", column(2, SampleReader::Blanks), {2.0f}, ' '},
        // More digits than the quick reading takes, up to the longest number.
        {"1 2.0000000000000000000001\n", column(2, SampleReader::Blanks), {2.0f}, ' '},
        {"1." + std::string(60, '0') + "5\n", {}, {1.0f}, 0}};
    for (const auto& [text, options, values, delimiter] : cases) {
        const Read r = readAll(text, options);
        EXPECT_EQ(std::tuple(r.values, r.status, delimiter ? r.delimiter : '\0'),
                  std::tuple(values, Status::End, delimiter))
            << text << r.error;
    }
    const Read timed = readAll("t U\n0.000 1\n0.0005 2\n0.0005 3\n1e6 4\n", column(2, ' ', 1));
    EXPECT_EQ(timed.values, (std::vector<float>{1, 2, 3, 4}));
    EXPECT_EQ(timed.times, (std::vector<double>{0.0, 0.0005, 0.0005, 1e6}));
}

// A dropout written as NaN or an empty field is a gap with --gaps skip: not a
// sample, counted; without it the reading stops there (see below). Binary
// counts are scaled and offset.
TEST(SampleReader, GapsAreSkippedWhenAskedAndBinaryCountsScaled) {
    SampleReader::Options options = column(2, ',', 1);
    options.skipGaps = true;
    const Read r = readAll("t,U\n0,1\n1,NaN\n2,\n3,-nan\n4,2\n,3\n6,4\n", options);
    EXPECT_EQ(r.values, (std::vector<float>{1, 2, 4}));
    EXPECT_EQ(r.times, (std::vector<double>{0, 4, 6}));
    EXPECT_EQ(r.gaps, 4);
    const Read binary = readAll(bytesOf(std::vector<float>{1.0f, NAN, 2.0f}),
                                {.format = Format::F32LE, .skipGaps = true});
    EXPECT_EQ(binary.values, (std::vector<float>{1.0f, 2.0f}));
    EXPECT_EQ(binary.gaps, 1);
    EXPECT_EQ(readAll(bytesOf(std::vector<int16_t>{0, 1000, -32768}),
                      {.format = Format::I16LE, .scale = 0.01, .offset = 1})
                  .values,
              (std::vector<float>{1.0f, 11.0f, -326.68f}));
}

// A bad line must stop the count, not be skipped, and name the line and why,
// after handing out the samples before it; an input that gives no sample at
// all is an error, never "samples=0". A damaged binary or compressed input
// says where it broke.
TEST(SampleReader, BadInputStopsWithWhereAndWhy) {
    std::string text;
    for (int i = 0; i < 200000; ++i)
        text += std::to_string(i) + "\n";
    // A flipped bit in the checksum: every byte inflates, and still the file is bad.
    std::string damaged = gzip(text);
    damaged[damaged.size() - 8] = static_cast<char>(damaged[damaged.size() - 8] ^ 0x55);
    const std::string f32 = bytesOf(std::vector<float>{1.0f, NAN, 2.0f, INFINITY});
    const SampleReader::Options F32{.format = Format::F32LE}, F64{.format = Format::F64LE};
    // input, options, error, samples before it (-1: any)
    const std::tuple<std::string, SampleReader::Options, const char*, int> cases[] = {
        {"1\n2\nabc\n4\n", {}, "line 3: \"abc\" is not a number", 2},
        {"1\n1.5.2\n", {}, "line 2: \"1.5.2\" is not a number", 1},
        {"1\nnan\n", {}, "line 2: \"nan\" is not a number", 1},
        {"1\n3.5e38\n", {}, "line 2: \"3.5e38\" is out of range", 1},
        {"1\n1e400\n", {}, "line 2: \"1e400\" is out of range", 1}, // beyond a double too
        {"1\n\x1b]0;pwned\x07\n", {}, "line 2: \"\\x1B]0;pwned\\x07\" is not a number", 1},
        {"1\n\xff\xfe\xc2\x9b\xc3\xa9\n", {}, "line 2: \"\\xFF\\xFE\\xC2\\x9B\xc3\xa9\" is not", 1},
        {"a,b\n1,2\n3\n", column(2, ','), "line 3: has no column 2 (delimiter ',')", 1},
        {"a,b\n1,2\n3,x\n", column(2, ','), "line 3: \"x\" is not a number", 1},
        {"1,2\n3,\n", column(2, ','), "line 2: the value is empty", 1},
        {"1;2;3\n4;5;x\n", column(2, ';', 3), "line 2: time \"x\" is not a number", 1},
        {"0,1\n1e16,2\n", column(2, ',', 1), "line 2: time \"1e16\" is out of range", 1},
        {"0,1\n1,NaN\n", column(2, ',', 1), "line 2: \"NaN\" is not a number", 1},
        {"0 1\n2 1\n1 1\n", column(2, ' ', 1),
         "line 3: time 1 is before the time of the sample before it (2)", 2},
        {"1\n" + std::string(100000, '7') + "\n", {}, "line 2: longer than 65536 characters", 1},
        {std::string(2'000'000, ' '), {}, "line 1: longer than 65536 characters", 0},
        {"", {}, "no samples: the input is empty", 0},
        {"\n \r\n", {}, "no samples: all 2 lines are blank", 0},
        {"   5.0000000e-02  -1.2004945e+00\n   1.0000000e-01  -1.1e+00\n", column(2, ','),
         "no line gives a sample from column 2 with delimiter ','; 2 lines read like "
         "\"   5.0000000e-02  -1.2004945e+00\" ... \"   1.0000000e-01  -1.1e+00\"",
         0},
        {"x y\nu v\n", column(2),
         "no line gives a sample from column 2 with ';', tab, ',' or blanks as delimiter; 2 "
         "lines read like \"x y\" ... \"u v\"",
         0},
        {f32.substr(0, 7), F32,
         "sample 1 (byte 4) is cut off after 3 of its 4 bytes: the f32le input is truncated", 1},
        {f32, F32, "sample 1 (byte 4) is NaN (--gaps skip takes it as a gap)", 1},
        {bytesOf(std::vector<double>{1, 1e300}), F64, "sample 1 (byte 8) is out of range: 1e+300",
         1},
        {"", {.format = Format::I16LE}, "no samples: the input is empty", 0},
        {gzip(text).substr(0, 3000), {}, "cut off", -1},
        {damaged, {}, "after line 200000: damaged compressed data: incorrect data check", 200000},
        {gzip("1\n") + "junk", {}, "unexpected bytes after the end", 1},
        {"1\n2\n", {.requireCompressed = true}, "the data is not gzip-compressed", 0}};
    for (const auto& [input, options, error, samples] : cases) {
        const Read r = readAll(input, options);
        EXPECT_EQ(r.status, Status::Error) << error;
        EXPECT_NE(r.error.find(error), std::string::npos) << r.error;
        EXPECT_TRUE(samples < 0 || r.values.size() == size_t(samples)) << error;
    }
}

// Lines cut by the read buffer must still read whole, and concatenated gzip
// members read as one stream.
TEST(SampleReader, LinesSpanningReadBlocksAreReadWhole) {
    std::string text;
    for (int i = 0; i < 300000; ++i)
        text += std::to_string(i % 1000) + ".125\n";
    const Read r = readAll(text);
    ASSERT_EQ(r.status, Status::End);
    ASSERT_EQ(r.values.size(), 300000u);
    EXPECT_EQ(r.values[299999], 999.125f);
    EXPECT_EQ(readAll(gzip(text.substr(0, 1000)) + gzip(text.substr(1000))).values, r.values);
}

// The quick reading may decline a line, never disagree with the careful one.
// On numbers of every shape (random digits and exponents, the float limits,
// values halfway between two floats, where reading in double and then
// rounding to single differs from rounding once) it must give the same bits;
// on random characters, in every layout, it may not accept what the careful
// reading refuses.
TEST(SampleReader, QuickReadingNeverDisagreesWithTheCarefulReading) {
    std::mt19937_64 random(17);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    std::istringstream edges("3.40282347e38 3.4028235e38 3.40282357e38 -3.4028236e38 "
                             "1.17549435e-38 1.4e-45 7e-46 0.000 -0 +.5 5. 9007199254740993 "
                             "9007199254740992 1e22 1e23 123456789e-22");
    std::vector<std::string> lines{std::istream_iterator<std::string>(edges), {}};
    char text[64];
    for (int i = 0; i < 2'000'000; ++i) {
        const float f = std::bit_cast<float>(static_cast<uint32_t>(random()));
        if (i % 4 == 0) // halfway to the next float, in double
            std::snprintf(text, sizeof text, "%.17g",
                          (double(f) + double(std::nextafter(f, INFINITY))) / 2);
        else if (i % 4 == 1)
            std::snprintf(text, sizeof text, "%.*g", 1 + pick(12), double(f));
        else { // random digits, point, exponent
            std::string s = pick(3) == 0 ? "-" : "";
            for (int d = pick(12); d >= 0; --d)
                s += char('0' + pick(10));
            if (pick(2))
                s.append(pick(4) ? "." : ",").append(std::to_string(random() % 100000000));
            if (pick(3) == 0)
                s.append("e").append(std::to_string(pick(90) - 45));
            std::snprintf(text, sizeof text, "%s", s.c_str());
        }
        lines.emplace_back(text);
    }
    const size_t numbers = lines.size();
    const char alphabet[] = "0123456789012345678901234567890123456789..,,;;  \t\t\r-+eEnaNx";
    for (int i = 0; i < 300'000; ++i) {
        std::string line;
        for (int n = pick(24); n > 0; --n)
            line += alphabet[random() % (sizeof alphabet - 1)];
        lines.push_back(line);
    }
    const SampleLine::Fields layouts[] = {{0, 0, ','},  {2, 0, ','}, {2, 1, ';'},
                                          {1, 3, '\t'}, {2, 0, ' '}, {3, 1, ' '}};
    size_t accepted = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::string terminated = line + "\n";
        // Numbers as whole lines only; the random lines in every layout.
        for (size_t l = 0; l < (i < numbers ? 1 : std::size(layouts)); ++l) {
            const SampleLine::Fields& fields = layouts[l];
            float quick = 0.0f, careful = 0.0f;
            double quickTime = 0.0, carefulTime = 0.0;
            using enum SampleLine::Layout;
            const char* t = terminated.data();
            const char* next = fields.column == 0
                                   ? SampleLine::quick<Whole>(t, fields, quick, quickTime)
                               : fields.delimiter == ' '
                                   ? SampleLine::quick<BlankSeparated>(t, fields, quick, quickTime)
                                   : SampleLine::quick<Delimited>(t, fields, quick, quickTime);
            if (!next)
                continue;
            ++accepted;
            std::string why;
            const SampleLine::Kind kind = SampleLine::careful(
                line.data(), line.data() + line.size(), fields, careful, carefulTime, why);
            ASSERT_EQ(kind, SampleLine::Kind::Sample) << "\"" << line << "\" " << why;
            ASSERT_EQ(std::bit_cast<uint32_t>(quick), std::bit_cast<uint32_t>(careful)) << line;
            ASSERT_TRUE(fields.timeColumn == 0 || quickTime == carefulTime) << line;
            ASSERT_EQ(next, terminated.data() + terminated.size());
        }
    }
    EXPECT_GT(accepted, 1'000'000u); // most numbers take the quick path
}
