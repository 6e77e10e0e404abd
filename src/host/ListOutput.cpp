#include "host/ListOutput.h"

#include "platform/ShownText.h"

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
} // namespace

void TabOutput::begin(const QStringList& headings) {
    out_ << headings.join(QLatin1Char('\t')) << '\n';
}

void TabOutput::row(const QStringList& cells) {
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            out_ << '\t';
        out_ << shown::terminalCell(cells[i]);
    }
    out_ << '\n';
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
        out_ << QChar(0xFEFF);
    row(headings);
}

void CsvOutput::row(const QStringList& cells) {
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            out_ << ',';
        out_ << field(cells[i], raw_);
    }
    out_ << "\r\n";
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
        keys_ << quoted(heading) + QLatin1Char(':');
    out_ << '[';
}

void JsonOutput::row(const QStringList& cells) {
    out_ << (first_ ? "\n{" : ",\n{");
    first_ = false;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            out_ << ',';
        out_ << keys_.value(i) << quoted(cells[i]);
    }
    out_ << '}';
}

void JsonOutput::end() {
    out_ << "\n]\n";
}
