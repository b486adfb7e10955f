// The settings file's one store: what it does with a file it cannot read, at
// start and while counting, and how it reports a save that fails.
#include "platform/SettingsStore.h"

#include "platform/AtomicFile.h"
#include "support/ProblemLog.h"

#include <QDir>
#include <QFile>
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
    bool saveCount(SettingsStore& store, int count) {
        return store.save([count](ProfileFile& file) {
            file.writeString("Cyclomarkator", "Value", QString::number(count));
        });
    }
    QTemporaryDir dir;
    ProblemLog log;
};

// A file in the settings file's place that cannot be read (too large, a
// folder) is told apart from a missing one: the program must not count from 0.
TEST_F(Store, TellsAnUnreadableFileFromAMissingOne) {
    SettingsStore store(path(), log);
    EXPECT_EQ(store.load(), SettingsStore::Loaded::Missing);
    QFile big(path());
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(ProfileFile::MaxFileSize + 1));
    big.close();
    EXPECT_EQ(store.load(), SettingsStore::Loaded::Unreadable);
    EXPECT_TRUE(store.loadError().contains("larger than"));
    ASSERT_TRUE(QFile::remove(path()));
    ASSERT_TRUE(QDir().mkdir(path()));
    EXPECT_EQ(store.load(), SettingsStore::Loaded::Unreadable);
}

// Each save keeps the sections others keep in the file; one that becomes
// unreadable (or disappears) while counting is replaced by everything the
// store knows, never by the caller's keys alone.
TEST_F(Store, SavesKeepEverySectionEvenWhenTheFileCannotBeReadAnyMore) {
    ASSERT_TRUE(AtomicFile::write(path(), "[General]\nLeft=1500\n[Cyclomarkator]\nValue=7\n"));
    SettingsStore store(path(), log);
    ASSERT_EQ(store.load(), SettingsStore::Loaded::Read);
    ASSERT_TRUE(AtomicFile::write(path(), "[General]\nLeft=1500\n[Cyclomarkator]\nValue=7\n"
                                          "[Recorder]\nHeight=99\n"));
    ASSERT_TRUE(saveCount(store, 8));
    EXPECT_EQ(onDisk("Recorder", "Height"), "99");
    ASSERT_TRUE(QFile::remove(path()));
    ASSERT_TRUE(saveCount(store, 9));
    EXPECT_EQ(onDisk("General", "Left"), "1500");
    EXPECT_EQ(onDisk("Recorder", "Height"), "99");
    EXPECT_EQ(onDisk("Cyclomarkator", "Value"), "9");
    EXPECT_TRUE(log.problems.isEmpty());
}

// A save that fails is reported once per episode (not at every counted
// extremum); what it could not write reaches the file with the next save.
TEST_F(Store, AFailedSaveIsReportedOncePerEpisodeAndWrittenByTheNext) {
    SettingsStore store(path(), log);
    ASSERT_TRUE(QDir().mkdir(path()));
    EXPECT_FALSE(saveCount(store, 1));
    EXPECT_FALSE(store.save([](ProfileFile& file) { file.writeString("General", "Top", "15"); }));
    ASSERT_EQ(log.problems.size(), 1);
    EXPECT_TRUE(log.problems[0].contains(path()));
    ASSERT_TRUE(QDir().rmdir(path()));
    ASSERT_TRUE(saveCount(store, 2));
    EXPECT_EQ(onDisk("General", "Top"), "15");
    ASSERT_TRUE(QFile::remove(path()));
    ASSERT_TRUE(QDir().mkdir(path()));
    EXPECT_FALSE(saveCount(store, 3));
    EXPECT_EQ(log.problems.size(), 2);
}

} // namespace
