#pragma once
// A command line from the settings file split into the program and its
// arguments without a shell: spaces and tabs separate arguments, "double" and
// 'single' quotes group (quoted parts and plain ones next to each other make
// one argument, "" is an empty one), a backslash outside single quotes takes
// the next character as it is, and inside single quotes every character is
// itself. Nothing else is special: no variables, globs, pipes or redirection.
// An unbalanced quote or a backslash at the very end is refused whole.
#include <QString>
#include <QStringList>

struct CommandSplit {
    QStringList arguments; // the program first; empty for a blank command
    QString error;         // why the command is refused; empty when it is not

    static CommandSplit split(const QString& command);
};
