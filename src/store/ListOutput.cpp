#include "store/ListOutput.h"

#include "platform/CsvCell.h"
#include "platform/ShownText.h"

#include <QFileDevice>

#include <array>
#include <vector>

namespace {
// What a cell's bytes hold that an output may have to change, found in one pass over the bytes:
// a cell without any of it, nearly every cell, is copied as it is; the rest go through the text
// rules.
enum : uchar {
    kControl = 1,    // ASCII controls, and the lead bytes of the C1 (0xC2) and bidirectional (0xE2) controls
    kCsvQuote = 2,   // "," or a quote
    kJsonEscape = 4, // a quote or a backslash
    kNonAscii = 8,   // any byte of a character beyond ASCII, which may not be valid UTF-8
};

constexpr std::array<uchar, 256> byteFlags() {
    std::array<uchar, 256> flags{};
    for (int c = 0; c < 0x20; ++c)
        flags[size_t(c)] = kControl;
    for (int c = 0x80; c < 0x100; ++c)
        flags[size_t(c)] = kNonAscii;
    flags[0x7F] = kControl;
    flags[0xC2] = flags[0xE2] = kControl | kNonAscii;
    flags[size_t(',')] = kCsvQuote;
    flags[size_t('"')] = kCsvQuote | kJsonEscape;
    flags[size_t('\\')] = kJsonEscape;
    return flags;
}
constexpr std::array<uchar, 256> kByteFlags = byteFlags();

uchar flagsOf(QByteArrayView cell) {
    uchar found = 0;
    for (const char c : cell)
        found |= kByteFlags[uchar(c)];
    return found;
}

// The cell as valid UTF-8: a cell another program stored with invalid sequences (or halves of
// surrogate pairs) gets U+FFFD for each, in `repaired`.
QByteArrayView validUtf8(QByteArrayView cell, uchar flags, QByteArray& repaired) {
    if (!(flags & kNonAscii) || cell.isValidUtf8())
        return cell;
    repaired = QString::fromUtf8(cell).toUtf8();
    return repaired;
}

// A cell's first byte after which a spreadsheet may run it: a formula sign, "|", a blank, or the
// lead byte of a no-break, zero-width or full-width one.
bool mayStartFormula(QByteArrayView cell) {
    if (cell.isEmpty())
        return false;
    switch (uchar(cell[0])) {
    case '=':
    case '@':
    case '+':
    case '-':
    case '|':
    case ' ':
    case 0xC2:
    case 0xE1:
    case 0xE2:
    case 0xE3:
    case 0xEF:
        return true;
    default:
        return false;
    }
}

} // namespace

ListOutput::~ListOutput() {
    flush();
}

bool ListOutput::flush() {
    if (!buffer_.isEmpty()) {
        if (QIODevice* device = out_.device()) {
            out_.flush();
            failed_ |= device->write(buffer_) != buffer_.size();
        } else {
            out_ << QString::fromUtf8(buffer_);
        }
        buffer_.clear();
    }
    failed_ |= !flushedInFull(out_);
    return !failed_;
}

bool flushedInFull(QTextStream& out) {
    out.flush();
    // A file's own buffer may still hold what was written: its failure shows only when pushed out.
    bool failed = false;
    if (auto* file = qobject_cast<QFileDevice*>(out.device()))
        failed = !file->flush();
    return !failed && out.status() == QTextStream::Ok;
}

void ListOutput::row(const QStringList& cells) {
    std::vector<QByteArray> store;
    std::vector<QByteArrayView> views;
    store.reserve(size_t(cells.size()));
    for (const QString& cell : cells)
        views.push_back(store.emplace_back(cell.toUtf8()));
    row(std::span<const QByteArrayView>(views));
}

void TabOutput::begin(const QStringList& headings) {
    add(headings.join(QLatin1Char('\t')).toUtf8());
    add('\n');
}

void TabOutput::row(std::span<const QByteArrayView> cells) {
    QByteArray repaired;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i > 0)
            add('\t');
        const uchar flags = flagsOf(cells[i]);
        if (flags & kControl)
            add(shown::terminalCell(QString::fromUtf8(cells[i])).toUtf8());
        else
            add(validUtf8(cells[i], flags, repaired));
    }
    add('\n');
}

QString CsvOutput::field(const QString& text, bool raw) {
    return csvcell::field(text, raw);
}

// A raw cell quoted as CSV needs, its bytes kept as stored (a quote is doubled).
QByteArray CsvOutput::rawField(QByteArrayView cell) {
    if (!(flagsOf(cell) & kCsvQuote) && !cell.contains('\n') && !cell.contains('\r'))
        return cell.toByteArray();
    QByteArray quoted = cell.toByteArray();
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
}

void CsvOutput::begin(const QStringList& headings) {
    if (bom_)
        add("\xEF\xBB\xBF");
    ListOutput::row(headings);
}

void CsvOutput::row(std::span<const QByteArrayView> cells) {
    QByteArray repaired;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i > 0)
            add(',');
        const uchar flags = flagsOf(cells[i]);
        // Only the raw list writes the stored bytes, valid UTF-8 or not.
        const QByteArrayView cell = raw_ ? cells[i] : validUtf8(cells[i], flags, repaired);
        // Plain text goes as it is: no quote, comma or control, nothing a formula may start with.
        const bool plain = !(flags & (kControl | kCsvQuote)) && (raw_ || !mayStartFormula(cell));
        if (plain)
            add(cell);
        else if (raw_)
            add(rawField(cell));
        else
            add(field(QString::fromUtf8(cell), raw_).toUtf8());
    }
    add("\r\n");
}

QString JsonOutput::quoted(const QString& text) {
    QString json;
    json.reserve(text.size() + 2);
    json += QLatin1Char('"');
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c == u'"' || c == u'\\') {
            json += QLatin1Char('\\');
            json += ch;
        } else if (c == u'\n') {
            json += QLatin1String("\\n");
        } else if (c == u'\r') {
            json += QLatin1String("\\r");
        } else if (c == u'\t') {
            json += QLatin1String("\\t");
        } else if (c < 0x20) {
            json += QStringLiteral("\\u%1").arg(unsigned(c), 4, 16, QLatin1Char('0'));
        } else {
            json += ch;
        }
    }
    json += QLatin1Char('"');
    return json;
}

void JsonOutput::begin(const QStringList& headings) {
    for (const QString& heading : headings)
        keys_ << (quoted(heading) + QLatin1Char(':')).toUtf8();
    add('[');
}

void JsonOutput::row(std::span<const QByteArrayView> cells) {
    QByteArray repaired;
    add(first_ ? "\n{" : ",\n{");
    first_ = false;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i > 0)
            add(',');
        add(keys_.value(qsizetype(i)));
        const uchar flags = flagsOf(cells[i]);
        const QByteArrayView cell = validUtf8(cells[i], flags, repaired);
        if (!(flags & (kControl | kJsonEscape))) {
            add('"');
            add(cell);
            add('"');
        } else {
            add(quoted(QString::fromUtf8(cell)).toUtf8());
        }
    }
    add('}');
}

void JsonOutput::end() {
    add("\n]\n");
}
