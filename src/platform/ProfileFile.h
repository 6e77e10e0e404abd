#pragma once

#include <QString>

namespace kyt {

// An initialisation file in the usual section/key layout, read and written one value at a time
// the way private-profile files behave: section and key names match without regard to letter
// case, values come back without surrounding blanks (and without one pair of enclosing quotes),
// a value read is at most 254 characters, and a write keeps every other line of the file.
// Each call opens and closes the file, so the last writer wins.
class ProfileFile {
public:
    static constexpr int kMaxValueLength = 254;

    explicit ProfileFile(QString path) : path_(std::move(path)) {}

    // The value, or `defaultValue` when the file, the section or the key is missing, cut to
    // `maxLength` characters (-1: whole, for settings of our own such as a mail body).
    QString read(const QString& section, const QString& key, const QString& defaultValue,
                 int maxLength = kMaxValueLength) const;
    // Creates the file, section or key as needed. False when the file could not be written.
    bool write(const QString& section, const QString& key, const QString& value) const;
    bool remove(const QString& section, const QString& key) const;

private:
    bool rewrite(const QString& section, const QString& key, const QString* value) const;

    QString path_;
};

} // namespace kyt
