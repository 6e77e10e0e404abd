#include "store/ListOutput.h"

#include "platform/ShownText.h"

#include <QFileDevice>

#include <array>
#include <vector>

namespace {
bool isControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// A spreadsheet runs a cell starting with "=", "@", TAB or CR as a formula, and one starting with
// "+" or "-" too unless it is a number: telephone numbers ("+91 98765 43210") and negative numbers
// stay as they are.
bool looksLikeFormula(const QString& text) {
    if (text.isEmpty())
        return false;
    const char16_t first = text[0].unicode();
    if (first == u'=' || first == u'@' || first == u'\t' || first == u'\r')
        return true;
    if (first != u'+' && first != u'-')
        return false;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (!((c >= u'0' && c <= u'9') || c == u' ' || c == u'-' || c == u'.' || c == u'(' || c == u')'))
            return true;
    }
    return false;
}

// What a cell's bytes hold that an output may have to change, found in one pass over the bytes:
// a cell without any of it, nearly every cell, is copied as it is; the rest go through the text
// rules.
enum : uchar {
    kControl = 1,    // ASCII controls, and the lead bytes of the C1 (0xC2) and bidirectional (0xE2) controls
    kCsvQuote = 2,   // "," or a quote
    kJsonEscape = 4, // a quote or a backslash
};

constexpr std::array<uchar, 256> byteFlags() {
    std::array<uchar, 256> flags{};
    for (int c = 0; c < 0x20; ++c)
        flags[size_t(c)] = kControl;
    flags[0x7F] = flags[0xC2] = flags[0xE2] = kControl;
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
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i > 0)
            add('\t');
        if (flagsOf(cells[i]) & kControl)
            add(shown::terminalCell(QString::fromUtf8(cells[i])).toUtf8());
        else
            add(cells[i]);
    }
    add('\n');
}

QString CsvOutput::field(const QString& text, bool raw) {
    QString cell = text;
    if (!raw) {
        for (qsizetype i = 0; i < cell.size(); ++i) {
            const char16_t c = cell[i].unicode();
            if (isControl(c) && c != u'\t' && c != u'\r' && c != u'\n')
                cell[i] = QLatin1Char(' ');
        }
        if (looksLikeFormula(cell))
            cell.prepend(QLatin1Char('\''));
    }
    if (!cell.contains(QLatin1Char(',')) && !cell.contains(QLatin1Char('"')) && !cell.contains(QLatin1Char('\n')) &&
        !cell.contains(QLatin1Char('\r')))
        return cell;
    cell.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + cell + QLatin1Char('"');
}

void CsvOutput::begin(const QStringList& headings) {
    if (bom_)
        add("\xEF\xBB\xBF");
    ListOutput::row(headings);
}

void CsvOutput::row(std::span<const QByteArrayView> cells) {
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i > 0)
            add(',');
        const QByteArrayView cell = cells[i];
        // Plain text goes as it is: no quote, comma or control, nothing a formula starts with.
        const bool formulaStart =
            !cell.isEmpty() && (cell[0] == '=' || cell[0] == '@' || cell[0] == '+' || cell[0] == '-');
        const bool plain = !(flagsOf(cell) & (kControl | kCsvQuote)) && (raw_ || !formulaStart);
        if (plain)
            add(cell);
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
    add(first_ ? "\n{" : ",\n{");
    first_ = false;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i > 0)
            add(',');
        add(keys_.value(qsizetype(i)));
        const QByteArrayView cell = cells[i];
        if (!(flagsOf(cell) & (kControl | kJsonEscape))) {
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
