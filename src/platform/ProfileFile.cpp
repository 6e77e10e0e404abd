#include "platform/ProfileFile.h"

#include "platform/RegularFile.h"
#include "platform/ReplacingFile.h"

#include <QList>

namespace kyt {

namespace {

// The file is 8-bit text: UTF-8 where it is valid, else Latin-1, so no byte is ever lost.
QString decode(const QByteArray& bytes) {
    const QString utf8 = QString::fromUtf8(bytes);
    if (!utf8.contains(QChar::ReplacementCharacter))
        return utf8;
    return QString::fromLatin1(bytes);
}

QByteArray folded(const QString& name) {
    return name.trimmed().toUtf8().toLower();
}

// "[name]" (blanks allowed around) gives the folded name; anything else gives a null array.
QByteArray sectionName(const QByteArray& line) {
    const QByteArray t = line.trimmed();
    if (t.size() < 2 || t.front() != '[')
        return {};
    const qsizetype close = t.indexOf(']');
    if (close < 0)
        return {};
    return t.mid(1, close - 1).trimmed().toLower();
}

struct KeyLine {
    QByteArray key; // folded
    QByteArray value;
};

bool parseKeyLine(const QByteArray& line, KeyLine* out) {
    const QByteArray t = line.trimmed();
    if (t.isEmpty() || t.front() == ';' || t.front() == '[')
        return false;
    const qsizetype eq = t.indexOf('=');
    if (eq <= 0)
        return false;
    out->key = t.left(eq).trimmed().toLower();
    out->value = t.mid(eq + 1).trimmed();
    return true;
}

enum class FileState { Missing, Read, Unreadable };

// Far above any settings file; a bound, so that a file that never ends is not read into memory.
constexpr qint64 kLargestFile = 4 << 20;

QList<QByteArray> readLines(const QString& path, FileState* state, QByteArray* eol) {
    // Only a regular file is read: a named pipe would block the reader, a device never ends.
    const FileContents file = readRegularFile(path, kLargestFile);
    if (!file.ok()) {
        // A file that is there but cannot be read is not an absent one: it must not be replaced.
        *state = file.status == FileContents::Status::Missing ? FileState::Missing : FileState::Unreadable;
        return {};
    }
    *state = FileState::Read;
    const QByteArray& all = file.bytes;
    *eol = all.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
    QList<QByteArray> lines = all.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.pop_back();
    for (QByteArray& l : lines)
        if (l.endsWith('\r'))
            l.chop(1);
    return lines;
}

} // namespace

QString ProfileFile::read(const QString& section, const QString& key, const QString& defaultValue,
                          int maxLength) const {
    QString result = defaultValue;
    FileState state = FileState::Missing;
    QByteArray eol;
    const QList<QByteArray> lines = readLines(path_, &state, &eol);
    const QByteArray wantSection = folded(section);
    const QByteArray wantKey = folded(key);
    bool inSection = false;
    for (const QByteArray& line : lines) {
        const QByteArray name = sectionName(line);
        if (!name.isNull()) {
            inSection = name == wantSection;
            continue;
        }
        KeyLine kl;
        if (inSection && parseKeyLine(line, &kl) && kl.key == wantKey) {
            QByteArray v = kl.value;
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
                v = v.mid(1, v.size() - 2);
            result = decode(v);
            break;
        }
    }
    return maxLength < 0 ? result : result.left(maxLength);
}

bool ProfileFile::write(const QString& section, const QString& key, const QString& value) const {
    return rewrite(section, key, &value);
}

bool ProfileFile::remove(const QString& section, const QString& key) const {
    return rewrite(section, key, nullptr);
}

bool ProfileFile::rewrite(const QString& section, const QString& key, const QString* value) const {
    FileState state = FileState::Missing;
    QByteArray eol = "\n";
    QList<QByteArray> lines = readLines(path_, &state, &eol);
    // Writing back only what could be read would destroy the rest: the file is left alone.
    if (state == FileState::Unreadable)
        return false;
    if (state == FileState::Missing && !value)
        return true;
    const QByteArray wantSection = folded(section);
    const QByteArray wantKey = folded(key);
    const QByteArray newLine = value ? key.trimmed().toUtf8() + '=' + value->toUtf8() : QByteArray();

    qsizetype sectionAt = -1, lastInSection = -1, keyAt = -1;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray name = sectionName(lines[i]);
        if (!name.isNull()) {
            if (inSection)
                break; // the first matching section is the one that counts
            inSection = name == wantSection;
            if (inSection)
                sectionAt = lastInSection = i;
            continue;
        }
        if (!inSection)
            continue;
        if (!lines[i].trimmed().isEmpty())
            lastInSection = i;
        KeyLine kl;
        if (parseKeyLine(lines[i], &kl) && kl.key == wantKey) {
            keyAt = i;
            break;
        }
    }

    if (keyAt >= 0) {
        if (value)
            lines[keyAt] = newLine;
        else
            lines.removeAt(keyAt);
    } else if (!value) {
        return true;
    } else if (sectionAt >= 0) {
        lines.insert(lastInSection + 1, newLine);
    } else {
        lines.append('[' + section.trimmed().toUtf8() + ']');
        lines.append(newLine);
    }

    QByteArray text;
    for (const QByteArray& l : lines)
        text += l + eol;
    return ReplacingFile::writeAll(path_, text).isEmpty();
}

} // namespace kyt
