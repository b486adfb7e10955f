#include "adc/Class_AD.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

// Function pointers cannot capture, so the fake library answers from here.
struct Library {
    int loads = 0;
    std::string loadedName = "unset";
    std::string text;
    int32_t count = 0;
} lib;

int32_t fakeLoad(std::string& name) {
    ++lib.loads;
    lib.loadedName = name;
    return 1;
}
int32_t fakeText(char* buffer) {
    std::memcpy(buffer, lib.text.data(), lib.text.size());
    return lib.count;
}
int32_t fakeChannelName(int32_t, char* buffer) {
    return fakeText(buffer);
}
int16_t allBitsSet(int16_t) {
    return static_cast<int16_t>(0xFFFF);
}
int16_t allBitsSetGet(int32_t) {
    return static_cast<int16_t>(0xFFFF);
}

Class_AD::Exports fakeExports() {
    Class_AD::Exports exports = Class_AD::zr2010();
    exports.AD_load = fakeLoad;
    exports.AD_init = allBitsSet;
    exports.AD_get = allBitsSetGet;
    exports.AD_channel_name = fakeChannelName;
    exports.AD_dll_date = fakeText;
    exports.AD_interface_name = fakeText;
    return exports;
}

TEST(Class_AD, CreationLoadsTheLibraryOnceWithAnEmptyName) {
    lib = Library{};
    Class_AD backend(fakeExports());
    EXPECT_EQ(lib.loads, 1);
    EXPECT_EQ(lib.loadedName, "");
    // 16-bit answers keep their sign: 65535 arrives as -1.
    EXPECT_EQ(backend.AD_get(0), -1);
    EXPECT_EQ(backend.AD_init(0), -1);
}

struct TextCase {
    std::string written;
    int32_t count;
    QString expected;
};

class Class_ADText : public ::testing::TestWithParam<TextCase> {};

TEST_P(Class_ADText, KeepsTheReportedCharactersWithinTheBuffer) {
    Class_AD backend(fakeExports());
    lib.text = GetParam().written;
    lib.count = GetParam().count;
    EXPECT_EQ(backend.AD_channel_name(0), GetParam().expected);
    EXPECT_EQ(backend.AD_dll_date(), GetParam().expected);
    EXPECT_EQ(backend.AD_interface_name(), GetParam().expected);
}

const std::string Full(Class_AD::TextBufferSize, 'x');

INSTANTIATE_TEST_SUITE_P(Counts, Class_ADText,
                         ::testing::Values(TextCase{"abc", 0, QString()},
                                           TextCase{"USB-AD", 3, QStringLiteral("USB")},
                                           TextCase{"abc", -5, QString()},
                                           TextCase{Full, 100000, QString::fromStdString(Full)}));

} // namespace
