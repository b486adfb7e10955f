#include "platform/AtomicFile.h"
#include "platform/ProgramFolder.h"
#include "platform/ProgramHome.h"
#include "platform/RigLock.h"
#include "platform/TempFile.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace {
const QString Name = QStringLiteral("Cyclomarkator");
unsigned modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777 : 0;
}
} // namespace

// Nobody else may read a temporary file (writing in place is checked with the
// exchange and flag files). Something planted under its name is never written
// through, and the refusal says why.
TEST(TempFile, IsPrivateAndRefusesLinksFoldersFifosAndOtherOwners) {
    QTemporaryDir dir;
    TempFile own;
    ASSERT_TRUE(own.open(dir.path(), "own")) << own.errorText().toStdString();
    EXPECT_EQ(modeOf(dir.filePath("own")), 0600u);
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
        EXPECT_NE(file.errorNumber(), 0) << name.toStdString();
    }
    EXPECT_EQ(fileBytes(victim), QByteArray("precious"));
}

// A file kept as a symbolic link is saved through it: the link stays and its
// target changes. A target that is not a regular file is never replaced. A
// save replaces the whole file, keeps the mode the user gave it (an unreadable
// one is not carried over: the next start must read it) and leaves no
// temporary beside it. The sweep after a crash takes only the hidden
// temporaries of our own saves, never a user's copies beside the file.
TEST(AtomicFile, WritesThroughLinksKeepsTheModeAndClearsOnlyItsOwnLeftovers) {
    QTemporaryDir dir, shared;
    const QString target = shared.filePath("C.INI"), link = dir.filePath("C.INI");
    ASSERT_TRUE(QFile::link(target, link));
    ASSERT_TRUE(AtomicFile::write(link, "first"));
    ASSERT_TRUE(AtomicFile::write(link, "second"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(fileBytes(target), QByteArray("second"));
    const QString toDevice = dir.filePath("D.INI");
    ASSERT_TRUE(QFile::link("/dev/null", toDevice));
    QString error;
    EXPECT_FALSE(AtomicFile::write(toDevice, "x", &error));
    EXPECT_TRUE(error.contains("/dev/null"));
    EXPECT_TRUE(QFileInfo(toDevice).isSymLink());
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0), 0);
    ASSERT_TRUE(AtomicFile::write(link, "third"));
    EXPECT_EQ(modeOf(target), 0600u);

    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    ASSERT_TRUE(AtomicFile::write(target, "new content"));
    EXPECT_EQ(fileBytes(target), QByteArray("new content"));
    EXPECT_EQ(modeOf(target), 0640u);
    EXPECT_EQ(QDir(shared.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"C.INI"});
    for (const char* name :
         {".C.INI~save-a1B2c3", ".C.INI~save-zzzzzz", "C.INI.backup", "C.INI.050610",
          "C.INI.a1B2c3", ".C.INI~save-abc", ".D.INI~save-a1B2c3"})
        ASSERT_TRUE(AtomicFile::write(shared.filePath(name), "x"));
    AtomicFile::removeLeftovers(target);
    QStringList left = QDir(shared.path()).entryList(QDir::Files | QDir::Hidden);
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

// A rig's folders take one copy at a time; a private temporary folder is
// locked itself (no lock file a cleaner could delete); in a shared one a
// link or another user's file under the lock file's name is refused, not
// written through.
TEST(RigLock, OneCopyPerFolderWhateverHappensToLockFiles) {
    using enum RigLock::Outcome;
    QTemporaryDir dir, temp;
    const QString rig = temp.path() + "/rig";
    RigLock first, second, oneFolder;
    ASSERT_EQ(first.lockProgramFolder(dir.path()), Held);
    EXPECT_EQ(second.lockProgramFolder(dir.path()), HeldByAnotherCopy);
    ASSERT_EQ(first.lockTempFolder(temp.path(), Name), Held);
    EXPECT_EQ(second.lockTempFolder(temp.path(), Name), HeldByAnotherCopy);
    ASSERT_EQ(oneFolder.lockProgramFolder(rig), NotPossible);
    ASSERT_TRUE(QDir().mkdir(rig));
    ASSERT_EQ(oneFolder.lockProgramFolder(rig), Held);
    EXPECT_EQ(oneFolder.lockTempFolder(rig, Name), Held);
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"rig"});

    QTemporaryDir shared;
    ASSERT_EQ(::chmod(QFile::encodeName(shared.path()).constData(), 01777), 0);
    const QString lockFile = shared.filePath(RigLock::lockFileName(Name));
    ASSERT_TRUE(QFile::link(shared.filePath("elsewhere"), lockFile));
    RigLock planted;
    EXPECT_EQ(planted.lockTempFolder(shared.path(), Name), NotPossible);
    EXPECT_TRUE(planted.why().contains(lockFile));
    EXPECT_FALSE(QFile::exists(shared.filePath("elsewhere")));
    ASSERT_TRUE(QFile::remove(lockFile));
    RigLock third, fourth;
    EXPECT_EQ(third.lockTempFolder(shared.path(), Name), Held);
    EXPECT_EQ(fourth.lockTempFolder(shared.path(), Name), HeldByAnotherCopy);
}

// An installed program that wrote beside itself would write into /usr as
// root, or warn at every start as anybody else; one run from its build
// folder keeps its files there. A relative XDG_DATA_HOME would name a folder
// below wherever the program was started, so the XDG rules ignore it.
TEST(ProgramHome, InstalledExecutablesKeepTheirFilesInTheDataFolder) {
    const QByteArray home = qgetenv("HOME"), data = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", "/home/lab");
    // executable, XDG_DATA_HOME, folder
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"/usr/bin/cyclomarkator", "", "/home/lab/.local/share/cyclomarkator"},
        {"/opt/cyclomarkator/Cyclomarkator", "relative", "/home/lab/.local/share/cyclomarkator"},
        {"/tmp/prefix/bin/cyclomarkator", "/srv/data/", "/srv/data/cyclomarkator"},
        {"/home/lab/sbin/Cyclomarkator", "/srv/data", "/srv/data/cyclomarkator"},
        {"/home/lab/src/build/Cyclomarkator", "/srv/data", "/home/lab/src/build"},
        {"/home/lab/binaries/Cyclomarkator", "/srv/data", "/home/lab/binaries"},
        {"/usr2/Cyclomarkator", "/srv/data", "/usr2"},
        {"/optical/Cyclomarkator", "/srv/data", "/optical"},
    };
    for (const auto& [executable, dataHome, folder] : cases) {
        qputenv("XDG_DATA_HOME", dataHome);
        EXPECT_EQ(ProgramHome::defaultFolder(executable), folder) << executable;
    }
    qputenv("HOME", home);
    qputenv("XDG_DATA_HOME", data);
}
