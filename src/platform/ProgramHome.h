#pragma once
// Where the program keeps its settings file and chart when no --config-dir
// names a folder. Run from where it was built (or from a folder of its own) it
// keeps them beside itself, as the described system does. Installed (in a
// folder named "bin", or anywhere below /usr or /opt) it never writes there,
// even as root: its home is then the per-user data folder, as a matter of
// course and not as a fallback.
#include <QString>

namespace ProgramHome {
// True for an executable in a folder named "bin" or "sbin", or below /usr or /opt.
bool isInstalled(const QString& executablePath);
// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share, followed
// by "/cyclomarkator"; not created here.
QString dataFolder();
// The program folder when --config-dir names none: dataFolder() for an
// installed executable, else the executable's own folder.
QString defaultFolder(const QString& executablePath);
} // namespace ProgramHome
