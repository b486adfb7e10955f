#include "platform/AtomicFile.h"
#include "platform/ProgramFolder.h"
#include "platform/RegistryArea.h"
#include "platform/TempFile.h"
#include "platform/ZR2010.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

TEST(TempFile, WritesInPlaceWithoutTruncating) {
    QTemporaryDir dir;
    TempFile file;
    ASSERT_TRUE(file.open(dir.path(), "~Trigger.tmp")) << file.errorText().toStdString();
    ASSERT_TRUE(file.writeAt(0, "ABCDEFGH", 8));
    ASSERT_TRUE(file.writeAt(0, "xy", 2));
    EXPECT_EQ(file.size(), 8);
    EXPECT_EQ(readAll(dir.filePath("~Trigger.tmp")), QByteArray("xyCDEFGH"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(dir.filePath("~Trigger.tmp")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(TempFile, RefusesLinksFoldersAndFifos) {
    QTemporaryDir dir;
    const QString victim = dir.filePath("victim");
    {
        QFile f(victim);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("precious");
    }
    ASSERT_TRUE(QFile::link(victim, dir.filePath("~ADC.txt")));
    QDir(dir.path()).mkdir("~Trigger.tmp");
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);

    for (const char* name : {"~ADC.txt", "~Trigger.tmp", "fifo"}) {
        TempFile file;
        EXPECT_FALSE(file.open(dir.path(), name)) << name;
        EXPECT_FALSE(file.isOpen());
        EXPECT_FALSE(file.errorText().isEmpty());
        EXPECT_NE(file.errorNumber(), 0);
        EXPECT_FALSE(file.writeAt(0, "x", 1));
    }
    EXPECT_EQ(readAll(victim), QByteArray("precious"));
}

TEST(TempFile, RefusesAFileOwnedBySomebodyElse) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give a file to another user";
    QTemporaryDir dir;
    const QString path = dir.filePath("~ADC.txt");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
    TempFile file;
    EXPECT_FALSE(file.open(dir.path(), "~ADC.txt"));
}

TEST(AtomicFile, ReplacesTheWholeFileAndKeepsItsMode) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.ini");
    ASSERT_TRUE(AtomicFile::write(path, "old"));
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    ASSERT_TRUE(AtomicFile::write(path, "new content"));
    EXPECT_EQ(readAll(path), QByteArray("new content"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.ini"});
}

TEST(AtomicFile, RemovesWhatInterruptedSavesLeftBehind) {
    QTemporaryDir dir;
    const QString path = dir.filePath("C.INI");
    for (const char* name :
         {"C.INI", "C.INI.a1B2c3", "C.INI.zzzzzz", "C.INI.bak", "C.INI.abc", "D.INI.a1B2c3"})
        ASSERT_TRUE(AtomicFile::write(dir.filePath(name), "x"));
    AtomicFile::removeLeftovers(path);
    QStringList left = QDir(dir.path()).entryList(QDir::Files);
    left.sort();
    EXPECT_EQ(left, (QStringList{"C.INI", "C.INI.abc", "C.INI.bak", "D.INI.a1B2c3"}));
}

TEST(ProgramFolder, UsesTheRequestedFolderWhenWritable) {
    QTemporaryDir dir;
    const ProgramFolderChoice choice =
        ProgramFolder::choose(dir.filePath("prog"), dir.filePath("config"), "Cyclomarkator");
    EXPECT_FALSE(choice.usedFallback);
    EXPECT_EQ(choice.settingsPath(), dir.filePath("prog/Cyclomarkator.INI"));
    EXPECT_TRUE(QDir(dir.filePath("prog")).exists());
}

TEST(ProgramFolder, FallsBackCarryingTheCountOver) {
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("prog");
    ASSERT_TRUE(AtomicFile::write(dir.filePath("prog/Cyclomarkator.INI"), "[Cyclomarkator]\n"
                                                                          "Value=4711\n"));
    const QString readOnly = dir.filePath("prog");
    const ProgramFolderChoice choice =
        ProgramFolder::choose(readOnly, dir.filePath("config"), "Cyclomarkator",
                              [&](const QString& folder) { return folder != readOnly; });
    EXPECT_TRUE(choice.usedFallback);
    EXPECT_EQ(choice.folder, dir.filePath("config"));
    EXPECT_TRUE(choice.message.contains(readOnly));
    EXPECT_EQ(readAll(choice.settingsPath()), QByteArray("[Cyclomarkator]\nValue=4711\n"));
}

TEST(ProgramFolder, AFileInPlaceOfTheFolderIsNotWritable) {
    QTemporaryDir dir;
    ASSERT_TRUE(AtomicFile::write(dir.filePath("file"), "x"));
    const ProgramFolderChoice choice =
        ProgramFolder::choose(dir.filePath("file"), dir.filePath("config"), "Cyclomarkator");
    EXPECT_TRUE(choice.usedFallback);
    EXPECT_EQ(choice.folder, dir.filePath("config"));
}

TEST(RegistryArea, KeepsValuesBySectionAndKey) {
    QTemporaryDir dir;
    RegistryArea area(RegistryArea::defaultPath(dir.path(), "Cyclomarkator"));
    EXPECT_EQ(area.value("ADC", "Range", "3"), QStringLiteral("3"));
    area.setValue("ADC", "Range", "2");
    RegistryArea again(area.path());
    EXPECT_EQ(again.value("ADC", "Range", "3"), QStringLiteral("2"));
}

TEST(ZR2010, SubTimeIsCorrectAcrossAClockWrap) {
    EXPECT_EQ(ZR2010::ZR_SubTime(1040, 1000), 40);
    EXPECT_EQ(ZR2010::ZR_SubTime(INT32_MIN + 5, INT32_MAX - 4), 10);
    EXPECT_EQ(ZR2010::ZR_SubTime(5, -5), 10);
}

TEST(ZR2010, MemcpyMovesOverlappingRecordsDown) {
    std::array<int32_t, 2000> records{};
    std::iota(records.begin(), records.end(), 0);
    // Move 999 eight-byte records down by one record, as the recorder does.
    ZR2010::ZR_memcpy(records.data(), records.data() + 2, 7992);
    for (int i = 0; i < 1998; ++i)
        ASSERT_EQ(records[static_cast<size_t>(i)], i + 2) << i;
}

TEST(ZR2010, PlaceholderEntryPointsReportNothing) {
    std::string name;
    char buffer[256] = {};
    EXPECT_EQ(ZR2010::AD_load(name), 0);
    EXPECT_EQ(ZR2010::AD_init(0), 0);
    EXPECT_EQ(ZR2010::AD_interface_name(buffer), 0);
    EXPECT_EQ(ZR2010::AD_winrt_device(), -1);
}
