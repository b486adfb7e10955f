#pragma once
// A Windows-style profile (INI) file with the Windows reading rules: sections
// and keys matched regardless of case, first match wins, values cut at 255
// characters, a missing file, section or key gives the default. Writing keeps
// every other section, key, comment and line ending as it was; save() replaces
// the file atomically (see AtomicFile), so a crash leaves the old or the new file.
#include "common/ProfileReader.h"

#include <QString>
#include <QStringList>
#include <cstdint>

class ProfileFile : public ProfileReader {
public:
    ProfileFile() = default;
    explicit ProfileFile(QString path) : m_path(std::move(path)) {}

    const QString& path() const { return m_path; }

    // Reads the file. A missing, unreadable or oversized file (or a folder in
    // its place) leaves the profile empty; the reason is kept in lastError().
    bool load();

    // Reads from text instead of a file (tests, the offline counter).
    void loadText(const QString& text);
    QString text() const;

    std::optional<QString> rawValue(const QString& section, const QString& key) const override;

    // The value cut at 255 characters, or the default.
    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue) const;

    // GetPrivateProfileInt rules: optional blanks and sign, then the leading
    // decimal digits; a value with no digits is 0; a missing key the default.
    // Saturates at the 32-bit range.
    int32_t readInt(const QString& section, const QString& key, int32_t defaultValue) const;

    // Sets a value in memory; a missing section is appended at the end and a
    // missing key at the end of its section.
    void writeString(const QString& section, const QString& key, const QString& value);

    // One atomic, durable replacement of the file with the text in memory.
    bool save();

    QString lastError() const { return m_lastError; }

    // Files larger than this are not read (a settings file is a few hundred bytes).
    static constexpr qint64 MaxFileSize = qint64{4} * 1024 * 1024;

private:
    struct Line {
        QString text;   // without the line ending
        QString ending; // "\r\n", "\n" or "" for a last line without one
    };
    int findSection(const QString& section) const;
    int findKey(int sectionLine, const QString& key) const;
    int sectionEnd(int sectionLine) const;
    QString defaultEnding() const;

    QString m_path;
    QList<Line> m_lines;
    QString m_lastError;
};
