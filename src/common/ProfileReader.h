#pragma once
// Read access to a Windows-style profile (INI) file; implemented by the
// platform's ProfileFile. Lives here so that the readers of this folder need
// nothing from the layers above.
#include <QString>
#include <optional>

class ProfileReader {
public:
    virtual ~ProfileReader() = default;
    // The raw value of the first matching key (section and key matched without
    // regard to case), or nothing when the section or key is missing.
    virtual std::optional<QString> rawValue(const QString& section, const QString& key) const = 0;
};
