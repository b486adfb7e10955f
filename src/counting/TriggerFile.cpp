#include "counting/TriggerFile.h"

#include <QtEndian>

bool TriggerFile::OpenTriggerFile() {
    CloseTriggerFile();
    if (m_file.open(m_tempFolder, QString::fromLatin1(FileName)))
        return true;
    CloseTriggerFile();
    return false;
}

bool TriggerFile::writeFlag(int32_t flag) {
    if (!m_file.isOpen())
        return false;
    char bytes[sizeof(int32_t)];
    qToLittleEndian(flag, bytes);
    if (m_file.writeAt(0, bytes, sizeof bytes))
        return true;
    CloseTriggerFile();
    return false;
}

QString TriggerFile::path() const {
    return m_tempFolder.endsWith(u'/') ? m_tempFolder + QString::fromLatin1(FileName)
                                       : m_tempFolder + u'/' + QString::fromLatin1(FileName);
}
