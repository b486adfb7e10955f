#pragma once
// One running copy serves one rig: its program folder (the settings file and
// Data.dat) and its temporary folder (~ADC.txt, ~Trigger.tmp, where peers find
// them). Both are locked with flock, which the system drops when the holder
// ends, crashed or not. The program folder is locked itself, so no deleted
// lock file and no other environment lets a second copy write the same
// settings file. A temporary folder private to this user is locked itself as
// well; in a shared one such as /tmp, which a lock on the folder would close
// to every other user, a lock file of this user's is used instead, and a file
// another user planted under its name cannot stop the program (the program
// folder's lock still keeps the rig to one copy).
#include <QString>

class RigLock {
public:
    enum class Outcome {
        Held,              // this copy holds the lock
        HeldByAnotherCopy, // refuse to start
        NotPossible,       // the folder or the lock file cannot be used; why() says why
    };

    RigLock() = default;
    ~RigLock();
    RigLock(const RigLock&) = delete;
    RigLock& operator=(const RigLock&) = delete;

    Outcome lockProgramFolder(const QString& folder);
    Outcome lockTempFolder(const QString& folder, const QString& baseName);
    QString why() const { return m_why; }

    // The per-user lock file in a shared temporary folder.
    static QString lockFileName(const QString& baseName);

private:
    Outcome lockDescriptor(int fd, int& kept);

    int m_programFolder = -1;
    int m_tempFolder = -1;
    QString m_why;
};
