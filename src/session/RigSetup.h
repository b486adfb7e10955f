#pragma once
// What one run needs before it may count: the rig's program folder locked and
// chosen (with the fallback and the newer settings, see ProgramFolder) and its
// temporary folder locked, so that one copy serves one rig. Either the
// environment of the session, or the reason to refuse with its exit code;
// what the user should know but does not stop the run goes to `warnings`.
// A run that only chooses the converter (--converter) locks the program
// folder alone, and is refused with code 2 while a copy runs on the rig.
#include "platform/RigLock.h"
#include "session/CounterSession.h"

#include <QStringList>
#include <variant>

struct CommandLine;

struct Refusal {
    QString text;
    int exitCode = 1;
};

class RigSetup {
public:
    // `lock` is held for the whole run.
    static std::variant<CounterSession::Environment, Refusal>
    prepare(const CommandLine& line, const QString& baseName, const QString& executablePath,
            RigLock& lock, QStringList& warnings);
};
