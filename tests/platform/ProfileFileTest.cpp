#include "platform/ProfileFile.h"

#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <limits>

namespace {
constexpr int32_t Max = std::numeric_limits<int32_t>::max();
ProfileFile fromText(const QString& text) {
    ProfileFile file;
    file.loadText(text);
    return file;
}
} // namespace

// Settings files written by Windows programs: a blank first line, names in
// any case, blanks and quotes around values, comments, and only the first section of a name.
TEST(ProfileFile, ReadsWithWindowsRules) {
    const ProfileFile file = fromText(QStringLiteral("\norphan=1\r\n"
                                                     "; comment=2\r\n"
                                                     "[Trigger]\r\n"
                                                     "  Hysterese = 0,5  \r\n"
                                                     "hysterese=9\r\n"
                                                     "quoted=\"a b\"\r\n"
                                                     "empty=\r\n"
                                                     "[trigger]\r\n"
                                                     "Other=3\r\n"
                                                     "[General]\n"
                                                     "Left=120"));
    // Only the first [Trigger] counts: "Other" is not found.
    const std::pair<const char*, const char*> keys[] = {
        {"TRIGGER", "HYSTERESE"}, {"Trigger", "quoted"}, {"Trigger", "empty"},
        {"Trigger", "Other"},     {"General", "Left"},   {"", "orphan"},
        {"Trigger", "; comment"}, {"Missing", "Left"},
    };
    QStringList read;
    for (const auto& [section, key] : keys)
        read << file.readString(section, key, "d");
    EXPECT_EQ(read, QStringList({"0,5", "a b", "", "d", "120", "d", "d", "d"}));
    // Whole numbers take the leading digits and saturate.
    const ProfileFile numbers = fromText(QStringLiteral("[S]\na= 42abc\nb=-7\nc=abc\nd=2.9\n"
                                                        "e=99999999999\nf=-99999999999\n"));
    const std::pair<const char*, int32_t> ints[] = {
        {"a", 42}, {"b", -7}, {"c", 0}, {"d", 2}, {"e", Max}, {"f", -Max - 1}, {"missing", 5}};
    for (const auto& [key, expected] : ints)
        EXPECT_EQ(numbers.readInt("S", QString::fromLatin1(key), 5), expected) << key;
}

// A write changes its key only, adds missing keys at the end of their
// section, and a value cannot smuggle in a line of its own.
TEST(ProfileFile, WritingKeepsEverythingElseAsItWas) {
    ProfileFile file = fromText(QStringLiteral("; settings\r\n"
                                               "[Cyclomarkator]\r\n"
                                               "VALUE=1\r\n"
                                               "Custom=keep me\r\n"
                                               "\r\n"
                                               "[General]\r\n"
                                               "Left=10"));
    file.writeString("Cyclomarkator", "Value", "2");
    file.writeString("cyclomarkator", "Value2", "1");
    file.writeString("Profile", "Profiles", "0");
    file.writeString("General", "Name", "evil\r\n[Cyclomarkator]\nValue=9");
    EXPECT_EQ(file.text(), QStringLiteral("; settings\r\n"
                                          "[Cyclomarkator]\r\n"
                                          "Value=2\r\n"
                                          "Custom=keep me\r\n"
                                          "Value2=1\r\n"
                                          "\r\n"
                                          "[General]\r\n"
                                          "Left=10\r\n"
                                          "Name=evil  [Cyclomarkator] Value=9\r\n"
                                          "[Profile]\r\n"
                                          "Profiles=0\r\n"));
    ProfileFile ended = fromText(QStringLiteral("[A]\nx=1\n"));
    ended.writeString("B", "k", "v");
    EXPECT_EQ(ended.text(), QStringLiteral("[A]\nx=1\n[B]\nk=v\n"));
}

// Junk gives the defaults (a file too large or a folder is refused, as the
// settings store's tests show); lines of any length are read without
// overflow, a value cut at 255 characters.
TEST(ProfileFile, HostileFilesGiveDefaults) {
    QTemporaryDir dir;
    QByteArray junk;
    for (int i = 0; i < 70000; ++i)
        junk.append(static_cast<char>((i * 7919) % 256));
    ASSERT_TRUE(putFile(dir.filePath("junk.ini"), junk));
    ProfileFile file(dir.filePath("junk.ini"));
    ASSERT_TRUE(file.load());
    EXPECT_EQ(file.readInt("Cyclomarkator", "Value", 4), 4);
    file.loadText("[Cyclomarkator]\nValue=" + QString(10000, u'9') + "\n" + QString(10000, u'[') +
                  "\nValue2=3\n");
    EXPECT_EQ(file.readInt("Cyclomarkator", "Value", 0), Max);
    EXPECT_EQ(file.readString("Cyclomarkator", "Value", "").size(), 255);
}
