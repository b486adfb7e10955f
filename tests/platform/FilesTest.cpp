#include "platform/AtomicFile.h"
#include "platform/ProgramFolder.h"
#include "platform/RegistryArea.h"
#include "platform/TempFile.h"
#include "platform/ZR2010.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString Name = QStringLiteral("Cyclomarkator");
unsigned modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777 : 0;
}
} // namespace

// A rewrite of the exchange file must not truncate it under a reader, and
// nobody else may read it.
TEST(TempFile, WritesInPlaceWithoutTruncating) {
    QTemporaryDir dir;
    TempFile file;
    ASSERT_TRUE(file.open(dir.path(), "~Trigger.tmp")) << file.errorText().toStdString();
    ASSERT_TRUE(file.writeAt(0, "ABCDEFGH", 8));
    ASSERT_TRUE(file.writeAt(0, "xy", 2));
    EXPECT_EQ(file.size(), 8);
    EXPECT_EQ(fileBytes(dir.filePath("~Trigger.tmp")), QByteArray("xyCDEFGH"));
    EXPECT_EQ(modeOf(dir.filePath("~Trigger.tmp")), 0600u);
}

// Something planted under a temporary file's name is never written through,
// and the refusal says why.
TEST(TempFile, RefusesLinksFoldersFifosAndOtherOwners) {
    QTemporaryDir dir;
    const QString victim = dir.filePath("victim");
    ASSERT_TRUE(AtomicFile::write(victim, "precious"));
    ASSERT_TRUE(QFile::link(victim, dir.filePath("~ADC.txt")));
    QDir(dir.path()).mkdir("~Trigger.tmp");
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
    ASSERT_EQ(::link(QFile::encodeName(victim).constData(),
                     QFile::encodeName(dir.filePath("second name")).constData()),
              0);
    QStringList names{"~ADC.txt", "~Trigger.tmp", "fifo", "second name"};
    if (::geteuid() == 0) { // only root can give a file to another user
        ASSERT_TRUE(AtomicFile::write(dir.filePath("foreign"), ""));
        ASSERT_EQ(::chown(QFile::encodeName(dir.filePath("foreign")).constData(), 65534, 65534), 0);
        names << "foreign";
    }
    for (const QString& name : names) {
        TempFile file;
        EXPECT_FALSE(file.open(dir.path(), name)) << name.toStdString();
        EXPECT_FALSE(file.errorText().isEmpty());
        EXPECT_NE(file.errorNumber(), 0);
        EXPECT_FALSE(file.writeAt(0, "x", 1));
    }
    EXPECT_EQ(fileBytes(victim), QByteArray("precious"));
}

// A file kept as a symbolic link is saved through it: the link stays and its
// target changes. A target that is not a regular file is never replaced.
TEST(AtomicFile, WritesThroughLinksAndRefusesWhatIsNoFile) {
    QTemporaryDir dir, shared;
    const QString target = shared.filePath("C.INI"), link = dir.filePath("C.INI");
    ASSERT_TRUE(QFile::link(target, link));
    ASSERT_TRUE(AtomicFile::write(link, "first"));
    ASSERT_TRUE(AtomicFile::write(link, "second"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(fileBytes(target), QByteArray("second"));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).contains("C.INI"));
    const QString toDevice = dir.filePath("D.INI");
    ASSERT_TRUE(QFile::link("/dev/null", toDevice));
    QString error;
    EXPECT_FALSE(AtomicFile::write(toDevice, "x", &error));
    EXPECT_TRUE(error.contains("/dev/null"));
    EXPECT_TRUE(QFileInfo(toDevice).isSymLink());
    // An unreadable mode is not carried over: the next start must read it.
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0), 0);
    ASSERT_TRUE(AtomicFile::write(link, "third"));
    EXPECT_EQ(modeOf(target), 0600u);
}

// A save replaces the whole file, keeps the mode the user gave it and leaves
// no temporary beside it. The sweep after a crash takes only the hidden
// temporaries of our own saves, never a user's copies beside the file.
TEST(AtomicFile, ReplacesTheWholeFileAndClearsOnlyItsOwnLeftovers) {
    QTemporaryDir dir;
    const QString path = dir.filePath("C.INI");
    ASSERT_TRUE(AtomicFile::write(path, "old"));
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    ASSERT_TRUE(AtomicFile::write(path, "new content"));
    EXPECT_EQ(fileBytes(path), QByteArray("new content"));
    EXPECT_EQ(modeOf(path), 0640u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"C.INI"});

    for (const char* name :
         {".C.INI~save-a1B2c3", ".C.INI~save-zzzzzz", "C.INI.backup", "C.INI.050610",
          "C.INI.a1B2c3", ".C.INI~save-abc", ".D.INI~save-a1B2c3"})
        ASSERT_TRUE(AtomicFile::write(dir.filePath(name), "x"));
    AtomicFile::removeLeftovers(path);
    QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    left.sort();
    EXPECT_EQ(left, (QStringList{".C.INI~save-abc", ".D.INI~save-a1B2c3", "C.INI", "C.INI.050610",
                                 "C.INI.a1B2c3", "C.INI.backup"}));
}

// The requested folder is used when writable (and created); a read-only one,
// or a file in its place, falls back to a folder of this rig's own and carries
// the count over, so that it is never silently lost. Once both places hold a
// settings file, the newer by its stamp wins wherever it is, and the older
// is kept aside.
TEST(ProgramFolder, FallsBackAndTheNewerSettingsWin) {
    QTemporaryDir dir;
    const QString prog = dir.filePath("prog"), config = dir.filePath("config");
    const QString fallback = ProgramFolder::fallbackFor(prog, config);
    EXPECT_EQ(fallback, config + "/fallback" + prog);
    ProgramFolderChoice choice = ProgramFolder::choose(prog, config, Name);
    EXPECT_FALSE(choice.usedFallback);
    EXPECT_EQ(choice.settingsPath(), dir.filePath("prog/Cyclomarkator.INI"));
    EXPECT_TRUE(choice.message.isEmpty());

    const auto settings = [](const char* day, int count) {
        return "[General]\nSaved=2026-01-0" + QByteArray(day) +
               "T10:00:00Z\n[Cyclomarkator]\nValue=" + QByteArray::number(count);
    };
    ASSERT_TRUE(AtomicFile::write(prog + "/Cyclomarkator.INI", settings("1", 777)));
    const auto readOnly = [&](const QString& folder) { return folder != prog; };
    choice = ProgramFolder::choose(prog, config, Name, readOnly);
    EXPECT_TRUE(choice.usedFallback);
    EXPECT_EQ(choice.folder, fallback);
    EXPECT_TRUE(choice.message.contains(prog));
    EXPECT_TRUE(fileBytes(choice.settingsPath()).contains("Value=777"));

    // Counted on to 781 in the fallback; the program folder is writable again.
    ASSERT_TRUE(AtomicFile::write(choice.settingsPath(), settings("2", 781)));
    choice = ProgramFolder::choose(prog, config, Name);
    EXPECT_FALSE(choice.usedFallback);
    EXPECT_TRUE(fileBytes(choice.settingsPath()).contains("Value=781"));
    EXPECT_TRUE(choice.message.contains(fallback)) << choice.message.toStdString();
    EXPECT_EQ(QDir(prog).entryList({"Cyclomarkator.INI.older-*"}).size(), 1);
    // Now the program folder's file is the newer one: it stays as it is.
    ASSERT_TRUE(AtomicFile::write(choice.settingsPath(), settings("3", 790)));
    choice = ProgramFolder::choose(prog, config, Name);
    EXPECT_TRUE(fileBytes(choice.settingsPath()).contains("Value=790"));
    EXPECT_TRUE(choice.message.isEmpty());
}

// A value set is there for the next start.
TEST(RegistryArea, KeepsValuesBySectionAndKey) {
    QTemporaryDir dir;
    RegistryArea area(RegistryArea::defaultPath(dir.path(), "Cyclomarkator"));
    EXPECT_EQ(area.value("ADC", "Range", "3"), QStringLiteral("3"));
    area.setValue("ADC", "Range", "2");
    EXPECT_EQ(RegistryArea(area.path()).value("ADC", "Range", "3"), QStringLiteral("2"));
}

// Time differences across the wrap of the millisecond clock (the overlapping
// move of ZR_memcpy is checked through the recorder's marks).
TEST(ZR2010, SubTimeAcrossAClockWrap) {
    EXPECT_EQ(ZR2010::ZR_SubTime(1040, 1000), 40);
    EXPECT_EQ(ZR2010::ZR_SubTime(INT32_MIN + 5, INT32_MAX - 4), 10);
    EXPECT_EQ(ZR2010::ZR_SubTime(5, -5), 10);
}
