#pragma once

#include <QByteArray>
#include <QString>

class QSaveFile;

// Writes `bytes` to a save file opened unbuffered and commits it. A write that
// stops part-way (a full disk) is retried for the rest, so that the failing
// call reports the system's reason; Qt drops it on a short write. On failure
// `reason` says why and the file is left uncommitted.
bool saveWhole(QSaveFile& file, const QByteArray& bytes, QString& reason);
