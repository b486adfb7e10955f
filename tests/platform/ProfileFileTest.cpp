#include "platform/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <limits>

namespace {
ProfileFile fromText(const QString& text) {
    ProfileFile file;
    file.loadText(text);
    return file;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
} // namespace

TEST(ProfileFile, ReadsWithWindowsRules) {
    const ProfileFile file = fromText(QStringLiteral("orphan=1\r\n"
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
    EXPECT_EQ(file.readString("TRIGGER", "HYSTERESE", "d"), QStringLiteral("0,5"));
    EXPECT_EQ(file.readString("Trigger", "quoted", "d"), QStringLiteral("a b"));
    EXPECT_EQ(file.readString("Trigger", "empty", "d"), QString());
    // Only the first section of a name is searched.
    EXPECT_EQ(file.readString("Trigger", "Other", "d"), QStringLiteral("d"));
    EXPECT_EQ(file.readString("General", "Left", "d"), QStringLiteral("120"));
    EXPECT_EQ(file.readString("", "orphan", "d"), QStringLiteral("d"));
    EXPECT_EQ(file.readString("Trigger", "; comment", "d"), QStringLiteral("d"));
    EXPECT_EQ(file.readString("Missing", "Left", "d"), QStringLiteral("d"));
}

TEST(ProfileFile, ReadIntTakesTheLeadingDigits) {
    const ProfileFile file = fromText(QStringLiteral("[S]\na= 42abc\nb=-7\nc=abc\nd=2.9\n"
                                                     "e=99999999999\nf=-99999999999\n"));
    const struct {
        const char* key;
        int32_t expected;
    } cases[] = {{"a", 42},
                 {"b", -7},
                 {"c", 0},
                 {"d", 2},
                 {"e", std::numeric_limits<int32_t>::max()},
                 {"f", std::numeric_limits<int32_t>::min()},
                 {"missing", 5}};
    for (const auto& c : cases)
        EXPECT_EQ(file.readInt("S", QString::fromLatin1(c.key), 5), c.expected) << c.key;
}

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
}

TEST(ProfileFile, SaveAndLoadRoundTripWithoutLeftovers) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Cyclomarkator.INI");
    ProfileFile file(path);
    EXPECT_FALSE(file.load());
    file.writeString("Cyclomarkator", "Value", "17");
    ASSERT_TRUE(file.save()) << file.lastError().toStdString();
    ProfileFile again(path);
    ASSERT_TRUE(again.load());
    EXPECT_EQ(again.readInt("Cyclomarkator", "Value", 0), 17);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Cyclomarkator.INI"});
}

TEST(ProfileFile, FailedSaveLeavesTheOldFileAndSaysWhy) {
    QTemporaryDir dir;
    ProfileFile file(dir.filePath("no-such-folder/Cyclomarkator.INI"));
    file.writeString("S", "k", "v");
    EXPECT_FALSE(file.save());
    EXPECT_FALSE(file.lastError().isEmpty());
}

TEST(ProfileFile, HostileFilesGiveDefaults) {
    QTemporaryDir dir;
    QByteArray junk;
    for (int i = 0; i < 70000; ++i)
        junk.append(static_cast<char>((i * 7919) % 256));
    QByteArray longLines = "[Cyclomarkator]\nValue=" + QByteArray(10000, '9') + "\n" +
                           QByteArray(10000, '[') + "\nValue2=3\n";
    writeFile(dir.filePath("junk.ini"), junk);
    writeFile(dir.filePath("long.ini"), longLines);
    writeFile(dir.filePath("huge.ini"), QByteArray(ProfileFile::MaxFileSize + 1, 'a'));
    QDir(dir.path()).mkdir("folder.ini");

    for (const char* name : {"junk.ini", "huge.ini", "folder.ini"}) {
        ProfileFile file(dir.filePath(name));
        file.load();
        EXPECT_EQ(file.readInt("Cyclomarkator", "Value", 4), 4) << name;
    }
    ProfileFile file(dir.filePath("long.ini"));
    ASSERT_TRUE(file.load());
    EXPECT_EQ(file.readInt("Cyclomarkator", "Value", 0), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(file.readString("Cyclomarkator", "Value", "").size(), 255);
    EXPECT_FALSE(ProfileFile(dir.filePath("folder.ini")).load());
}
