#include "counting/TriggerFile.h"

#include <QtEndian>

bool TriggerFile::OpenTriggerFile() {
    return m_file.open(QString::fromLatin1(FileName));
}

bool TriggerFile::writeFlag(int32_t flag) {
    char bytes[sizeof(int32_t)];
    qToLittleEndian(flag, bytes);
    return m_file.writeAt(0, bytes, sizeof bytes, QString::fromLatin1(FileName));
}
