#pragma once
// The per-user folders that stand in for the Windows ones: the temporary
// folder (GetTempPath) and the config folder (registry area and the A/D
// settings export, in place of the Windows directory).
#include <QString>

namespace UserFolders {
// $TMPDIR when set, else $XDG_RUNTIME_DIR when set, else /tmp; no trailing separator.
QString tempFolder();
// $XDG_CONFIG_HOME (else ~/.config) followed by "/Cyclomarkator"; created on demand.
QString configFolder();
} // namespace UserFolders
