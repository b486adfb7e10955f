#include "platform/ProfileFile.h"

#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>
#include <limits>

namespace {
constexpr qsizetype MaxValueLength = 255;

QString decode(const QByteArray& bytes) {
    // Files written by this program are UTF-8; older files may be in a
    // Windows code page, which Latin-1 keeps byte for byte.
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return QString::fromLatin1(bytes);
    return text;
}

// "[name]" gives name; anything else an empty optional.
std::optional<QString> sectionName(const QString& line) {
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(u']');
    return (close < 0 ? trimmed.mid(1) : trimmed.mid(1, close - 1)).trimmed();
}

// The key of a "key=value" line, or an empty string (comments and other lines).
QString keyOf(const QString& line) {
    const QString trimmed = line.trimmed();
    if (trimmed.startsWith(u';') || trimmed.startsWith(u'['))
        return {};
    const qsizetype equals = trimmed.indexOf(u'=');
    return equals <= 0 ? QString() : trimmed.left(equals).trimmed();
}

QString valueOf(const QString& line) {
    QString value = line.mid(line.indexOf(u'=') + 1).trimmed();
    // Windows drops one pair of quotes around a whole value.
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value;
}
} // namespace

bool ProfileFile::load() {
    m_lines.clear();
    m_lastError.clear();
    const QFileInfo info(m_path);
    if (!info.exists()) {
        m_lastError = QStringLiteral("The file does not exist.");
        return false;
    }
    if (!info.isFile()) {
        m_lastError = QStringLiteral("It is not a regular file.");
        return false;
    }
    if (info.size() > MaxFileSize) {
        m_lastError = QStringLiteral("It is larger than %1 bytes.").arg(MaxFileSize);
        return false;
    }
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_lastError = file.errorString();
        return false;
    }
    loadText(decode(file.read(MaxFileSize)));
    return true;
}

void ProfileFile::loadText(const QString& text) {
    m_lines.clear();
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype newline = text.indexOf(u'\n', start);
        if (newline < 0) {
            m_lines.append({text.mid(start), QString()});
            break;
        }
        const bool crlf = newline > start && text[newline - 1] == u'\r';
        const qsizetype end = crlf ? newline - 1 : newline;
        m_lines.append(
            {text.mid(start, end - start), crlf ? QStringLiteral("\r\n") : QStringLiteral("\n")});
        start = newline + 1;
    }
}

QString ProfileFile::text() const {
    QString result;
    for (const Line& line : m_lines)
        result += line.text + line.ending;
    return result;
}

int ProfileFile::findSection(const QString& section) const {
    for (int i = 0; i < m_lines.size(); ++i) {
        const auto name = sectionName(m_lines[i].text);
        if (name && name->compare(section, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int ProfileFile::sectionEnd(int sectionLine) const {
    int i = sectionLine + 1;
    while (i < m_lines.size() && !sectionName(m_lines[i].text))
        ++i;
    return i;
}

int ProfileFile::findKey(int sectionLine, const QString& key) const {
    const int end = sectionEnd(sectionLine);
    for (int i = sectionLine + 1; i < end; ++i) {
        if (keyOf(m_lines[i].text).compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

std::optional<QString> ProfileFile::rawValue(const QString& section, const QString& key) const {
    const int sectionLine = findSection(section);
    if (sectionLine < 0 || key.trimmed().isEmpty())
        return std::nullopt;
    const int keyLine = findKey(sectionLine, key.trimmed());
    if (keyLine < 0)
        return std::nullopt;
    return valueOf(m_lines[keyLine].text);
}

QString ProfileFile::readString(const QString& section, const QString& key,
                                const QString& defaultValue) const {
    const auto value = rawValue(section, key);
    return value ? value->left(MaxValueLength) : defaultValue;
}

int32_t ProfileFile::readInt(const QString& section, const QString& key,
                             int32_t defaultValue) const {
    const auto value = rawValue(section, key);
    if (!value)
        return defaultValue;
    QStringView text = QStringView(*value).left(MaxValueLength);
    const auto startsWith = [&text](char16_t a, char16_t b) {
        return !text.isEmpty() && (text.front() == a || text.front() == b);
    };
    while (startsWith(u' ', u'\t'))
        text = text.mid(1);
    const bool negative = startsWith(u'-', u'-');
    if (startsWith(u'-', u'+'))
        text = text.mid(1);
    int64_t magnitude = 0;
    constexpr int64_t Limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; !text.isEmpty() && text.front() >= u'0' && text.front() <= u'9'; text = text.mid(1))
        magnitude = std::min(Limit, magnitude * 10 + (text.front().unicode() - u'0'));
    const int64_t signedValue = negative ? -magnitude : std::min(magnitude, Limit - 1);
    return static_cast<int32_t>(signedValue);
}

QString ProfileFile::defaultEnding() const {
    for (const Line& line : m_lines) {
        if (!line.ending.isEmpty())
            return line.ending;
    }
    return QStringLiteral("\n");
}

void ProfileFile::writeString(const QString& section, const QString& key, const QString& value) {
    // A line break inside a value would smuggle extra keys or sections into
    // the file; it is written as a blank instead.
    QString oneLine = value;
    oneLine.replace(u'\r', u' ').replace(u'\n', u' ');
    const QString entry = key + u'=' + oneLine;
    const QString ending = defaultEnding();
    if (!m_lines.isEmpty() && m_lines.back().ending.isEmpty())
        m_lines.back().ending = ending;

    const int sectionLine = findSection(section);
    if (sectionLine < 0) {
        m_lines.append({u'[' + section + u']', ending});
        m_lines.append({entry, ending});
        return;
    }
    const int keyLine = findKey(sectionLine, key);
    if (keyLine >= 0) {
        m_lines[keyLine].text = entry;
        return;
    }
    // After the section's last non-blank line, so blank separators stay below it.
    int insertAt = sectionEnd(sectionLine);
    while (insertAt > sectionLine + 1 && m_lines[insertAt - 1].text.trimmed().isEmpty())
        --insertAt;
    m_lines.insert(insertAt, {entry, ending});
}

bool ProfileFile::save() {
    m_lastError.clear();
    return AtomicFile::write(m_path, text().toUtf8(), &m_lastError);
}
