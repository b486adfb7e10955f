#pragma once
// Durable, atomic replacement of a whole file: the new content goes to a
// private temporary file in the same folder, is flushed to disk, renamed over
// the old file, and the folder is flushed. A crash or power cut at any moment
// leaves either the old file or the new one, whole.
#include <QByteArray>
#include <QString>

namespace AtomicFile {
// Returns false and fills `error` (when given) on failure; the old file is then
// untouched and errno says why. A symbolic link is written through: its target
// is replaced in its own folder. A target that is not a regular file is
// refused. The file keeps its mode, always with read and write for its owner.
bool write(const QString& path, const QByteArray& content, QString* error = nullptr);

// The file that `path` finally names once every symbolic link is followed.
QString resolveLinks(const QString& path);

// Removes the temporary files that saves of `path` interrupted by a crash
// left beside it (".<name>~save-XXXXXX"), and nothing else. Only for the one
// process that writes the file.
void removeLeftovers(const QString& path);
} // namespace AtomicFile
