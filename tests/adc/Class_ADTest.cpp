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

int32_t fakeText(char* buffer) {
    std::memcpy(buffer, lib.text.data(), lib.text.size());
    return lib.count;
}
Class_AD::Exports fakeExports() {
    Class_AD::Exports exports = Class_AD::zr2010();
    exports.AD_load = [](std::string& name) {
        ++lib.loads;
        lib.loadedName = name;
        return 1;
    };
    exports.AD_init = [](int16_t) { return static_cast<int16_t>(0xFFFF); };
    exports.AD_get = [](int32_t) { return static_cast<int16_t>(0xFFFF); };
    exports.AD_channel_name = [](int32_t, char* buffer) { return fakeText(buffer); };
    exports.AD_dll_date = fakeText;
    exports.AD_interface_name = fakeText;
    return exports;
}

// The library is loaded once, at creation, with an empty name.
TEST(Class_AD, CreationLoadsTheLibraryOnceWithAnEmptyName) {
    lib = Library{};
    Class_AD backend(fakeExports());
    EXPECT_EQ(lib.loads, 1);
    EXPECT_EQ(lib.loadedName, "");
    // 16-bit answers keep their sign: 65535 arrives as -1.
    EXPECT_EQ(backend.AD_get(0), -1);
    EXPECT_EQ(backend.AD_init(0), -1);
}

// The library reports how many characters it wrote; a count beyond the buffer
// or below 1 must never make us read past it or show garbage.
TEST(Class_AD, KeepsTheReportedCharactersWithinTheBuffer) {
    const std::string full(Class_AD::TextBufferSize, 'x');
    const std::tuple<std::string, int32_t, std::string> cases[] = {
        {"abc", 0, ""}, {"USB-AD", 3, "USB"}, {"abc", -5, ""}, {full, 100000, full}};
    Class_AD backend(fakeExports());
    for (const auto& [written, count, expected] : cases) {
        lib.text = written;
        lib.count = count;
        EXPECT_EQ(backend.AD_channel_name(0).toStdString(), expected) << count;
        EXPECT_EQ(backend.AD_dll_date().toStdString(), expected) << count;
        EXPECT_EQ(backend.AD_interface_name().toStdString(), expected) << count;
    }
}

} // namespace
