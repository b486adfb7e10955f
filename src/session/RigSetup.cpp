#include "session/RigSetup.h"

#include "platform/ProgramFolder.h"
#include "platform/ProgramHome.h"
#include "platform/UserFolders.h"
#include "session/CommandLine.h"

#include <QDir>
#include <QFileInfo>
#include <optional>

namespace {
// The temporary folder is the rig's too: peers find its files there.
std::optional<Refusal> lockTempFolder(RigLock& lock, const QString& tempFolder,
                                      const QString& baseName, QStringList& warnings) {
    switch (lock.lockTempFolder(tempFolder, baseName)) {
    case RigLock::Outcome::HeldByAnotherCopy:
        return Refusal{baseName +
                           QStringLiteral(" is already running! Another copy writes ~ADC.txt "
                                          "and ~Trigger.tmp in %1; give each rig a "
                                          "temporary folder of its own (TMPDIR).")
                               .arg(tempFolder),
                       1};
    case RigLock::Outcome::NotPossible:
        // The exchange and flag files stay where peers look for them; the
        // program counts on, reports them as they fail, and says what to do.
        warnings << QStringLiteral("cannot lock the temporary folder (%1); a second copy using it "
                                   "would not be noticed. Set TMPDIR to a folder of your own.")
                        .arg(lock.why());
        break;
    case RigLock::Outcome::Held:
        break;
    }
    return std::nullopt;
}
} // namespace

std::variant<CounterSession::Environment, Refusal>
RigSetup::prepare(const CommandLine& line, const QString& baseName, const QString& executablePath,
                  RigLock& lock, QStringList& warnings) {
    // The program folder first: its files may be carried over below.
    const QString requested = QDir::cleanPath(
        QFileInfo(line.configDir.isEmpty() ? ProgramHome::defaultFolder(executablePath)
                                           : line.configDir)
            .absoluteFilePath());
    QDir().mkpath(requested);
    const QString tempFolder = UserFolders::tempFolder();
    // Choosing a converter only writes the rig's settings: never under a copy
    // that counts on it (which would write its own back at the end), and
    // without the temporary folder, which only a counting run uses.
    const bool choosing = line.converter.has_value();
    switch (lock.lockProgramFolder(requested)) {
    case RigLock::Outcome::HeldByAnotherCopy:
        if (choosing)
            return Refusal{QStringLiteral("A copy runs on the rig in %1; end it before choosing "
                                          "its converter. Nothing was changed.")
                               .arg(requested),
                           2};
        return Refusal{
            baseName +
                QStringLiteral(" is already running! Another copy serves %1.").arg(requested),
            1};
    case RigLock::Outcome::NotPossible:
        warnings << QStringLiteral("cannot lock the program folder (%1)").arg(lock.why());
        break;
    case RigLock::Outcome::Held:
        break;
    }
    if (!choosing) {
        if (std::optional<Refusal> refusal = lockTempFolder(lock, tempFolder, baseName, warnings))
            return *refusal;
    }
    const QString configFolder = UserFolders::configFolder();
    const ProgramFolderChoice folder = ProgramFolder::choose(requested, configFolder, baseName);
    if (!folder.message.isEmpty())
        warnings << folder.message;
    return CounterSession::Environment{folder, tempFolder, configFolder, executablePath,
                                       line.tickMs};
}
