// The settings file's one store: what it does with a file it cannot read, at
// start and while counting, and how it reports a save that fails.
#include "platform/SettingsStore.h"

#include "platform/AtomicFile.h"
#include "support/ProblemLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class Store : public testing::Test {
protected:
    QString path() const { return dir.filePath("Cyclomarkator.INI"); }
    QString onDisk(const char* section, const char* key) const {
        ProfileFile file(path());
        file.load();
        return file.readString(section, key, "<missing>");
    }
    bool saveCount(int count) {
        return store.save([count](ProfileFile& file) {
            file.writeString("Cyclomarkator", "Value", QString::number(count));
        });
    }
    bool makeTooLarge() {
        QFile big(path());
        return big.open(QIODevice::Append) && big.resize(ProfileFile::MaxFileSize + 1);
    }
    QTemporaryDir dir;
    ProblemLog log;
    SettingsStore store{path(), log};
};

// A file in the settings file's place that cannot be read (too large, a
// folder) is told apart from a missing one: the program must not count from 0.
TEST_F(Store, TellsAnUnreadableFileFromAMissingOne) {
    EXPECT_EQ(store.load(), SettingsStore::Loaded::Missing);
    ASSERT_TRUE(makeTooLarge());
    EXPECT_EQ(store.load(), SettingsStore::Loaded::Unreadable);
    EXPECT_TRUE(store.loadError().contains("larger than"));
    ASSERT_TRUE(QFile::remove(path()));
    ASSERT_TRUE(QDir().mkdir(path()));
    EXPECT_EQ(store.load(), SettingsStore::Loaded::Unreadable);
}

// Each save keeps the sections others keep in the file; one that disappears
// or becomes unreadable while counting is replaced by everything the store
// knows, never by the caller's keys alone, and the unreadable one is kept.
TEST_F(Store, SavesKeepEverySectionEvenWhenTheFileCannotBeReadAnyMore) {
    ASSERT_TRUE(AtomicFile::write(path(), "[General]\nLeft=1500\n[Cyclomarkator]\nValue=7\n"));
    ASSERT_EQ(store.load(), SettingsStore::Loaded::Read);
    ASSERT_TRUE(AtomicFile::write(path(), "[General]\nLeft=1500\n[Recorder]\nHeight=99\n"));
    ASSERT_TRUE(saveCount(8));
    EXPECT_EQ(onDisk("Recorder", "Height"), "99");
    ASSERT_TRUE(QFile::remove(path()));
    ASSERT_TRUE(saveCount(9));
    EXPECT_TRUE(log.problems.isEmpty());
    ASSERT_TRUE(makeTooLarge());
    ASSERT_TRUE(saveCount(10));
    EXPECT_EQ(QStringList({onDisk("General", "Left"), onDisk("Recorder", "Height"),
                           onDisk("Cyclomarkator", "Value")}),
              QStringList({"1500", "99", "10"}));
    const QStringList aside = QDir(dir.path()).entryList({"Cyclomarkator.INI.unreadable-*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(QFileInfo(dir.filePath(aside[0])).size(), ProfileFile::MaxFileSize + 1);
    ASSERT_EQ(log.problems.size(), 1);
    EXPECT_TRUE(log.problems[0].contains("kept as " + dir.filePath(aside[0])));
}

// A save that fails is reported once per episode (not at every counted
// extremum) with its reason; what it could not write reaches the file with
// the next save.
TEST_F(Store, AFailedSaveIsReportedOncePerEpisodeAndWrittenByTheNext) {
    ASSERT_TRUE(QDir().mkdir(path()));
    EXPECT_FALSE(saveCount(1));
    EXPECT_FALSE(store.save([](ProfileFile& file) { file.writeString("General", "Top", "15"); }));
    ASSERT_EQ(log.problems.size(), 1);
    EXPECT_TRUE(log.problems[0].contains(path() + " cannot be written ("));
    EXPECT_FALSE(log.problems[0].contains("()"));
    ASSERT_TRUE(QDir().rmdir(path()));
    ASSERT_TRUE(saveCount(2));
    EXPECT_EQ(onDisk("General", "Top"), "15");
    ASSERT_TRUE(QFile::remove(path()));
    ASSERT_TRUE(QDir().mkdir(path()));
    EXPECT_FALSE(saveCount(3));
    EXPECT_EQ(log.problems.size(), 2);
}

} // namespace
