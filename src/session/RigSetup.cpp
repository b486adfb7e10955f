#include "session/RigSetup.h"

#include "platform/ProgramFolder.h"
#include "platform/ProgramHome.h"
#include "platform/UserFolders.h"
#include "session/CommandLine.h"

#include <QDir>
#include <QFileInfo>

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
    const QString running = baseName + QStringLiteral(" is already running!");
    switch (lock.lockProgramFolder(requested)) {
    case RigLock::Outcome::HeldByAnotherCopy:
        return Refusal{running + QStringLiteral(" Another copy serves %1.").arg(requested), 1};
    case RigLock::Outcome::NotPossible:
        warnings << QStringLiteral("cannot lock the program folder (%1)").arg(lock.why());
        break;
    case RigLock::Outcome::Held:
        break;
    }
    switch (lock.lockTempFolder(tempFolder, baseName)) {
    case RigLock::Outcome::HeldByAnotherCopy:
        return Refusal{running + QStringLiteral(" Another copy writes ~ADC.txt and ~Trigger.tmp in "
                                                "%1; give each rig a temporary folder of its own "
                                                "(TMPDIR).")
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
    const QString configFolder = UserFolders::configFolder();
    const ProgramFolderChoice folder = ProgramFolder::choose(requested, configFolder, baseName);
    if (!folder.message.isEmpty())
        warnings << folder.message;
    return CounterSession::Environment{folder, tempFolder, configFolder, executablePath,
                                       line.tickMs};
}
