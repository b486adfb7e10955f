#pragma once
// Durable, atomic replacement of a whole file: the new content goes to a
// private temporary file in the same folder, is flushed to disk, renamed over
// the old file, and the folder is flushed. A crash or power cut at any moment
// leaves either the old file or the new one, whole.
#include <QByteArray>
#include <QString>

namespace AtomicFile {
// Returns false and fills `error` (when given) on failure; the old file is then untouched.
bool write(const QString& path, const QByteArray& content, QString* error = nullptr);

// Removes the temporary files that saves of `path` interrupted by a crash
// left beside it (".<name>~save-XXXXXX"), and nothing else. Only for the one
// process that writes the file.
void removeLeftovers(const QString& path);
} // namespace AtomicFile
