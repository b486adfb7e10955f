#include "SaveWhole.h"

#include <QSaveFile>

bool saveWhole(QSaveFile& file, const QByteArray& bytes, QString& reason) {
    qint64 done = 0;
    // Every pass writes at least one byte or ends the loop.
    while (done < bytes.size()) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            break;
        done += written;
    }
    if (done == bytes.size() && file.commit())
        return true;
    reason = file.errorString();
    return false;
}
