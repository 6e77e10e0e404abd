#include "platform/CsvCell.h"

namespace csvcell {

namespace {
bool isControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Blanks a spreadsheet may pass over before the sign, seen or not.
bool isLeadingBlank(QChar c) {
    const char16_t u = c.unicode();
    return u == u' ' || u == 0x00A0 || (u >= 0x2000 && u <= 0x200D) || u == 0x202F || u == 0x205F || u == 0x2060 ||
           u == 0x3000 || u == 0xFEFF || u == 0x1680;
}

// A full-width sign as its ASCII counterpart.
char16_t asciiSign(char16_t c) {
    switch (c) {
    case 0xFF1D:
        return u'=';
    case 0xFF0B:
        return u'+';
    case 0xFF0D:
        return u'-';
    case 0xFF20:
        return u'@';
    case 0xFF5C:
        return u'|';
    default:
        return c;
    }
}

// Telephone numbers ("+91 98765 43210") and negative numbers stay as they are.
bool isNumber(QStringView rest) {
    for (const QChar ch : rest) {
        const char16_t c = ch.unicode();
        if (!((c >= u'0' && c <= u'9') || c == u' ' || c == u'-' || c == u'.' || c == u'(' || c == u')'))
            return false;
    }
    return true;
}
} // namespace

bool runsAsFormula(const QString& text) {
    if (text.isEmpty())
        return false;
    if (text[0] == QLatin1Char('\t') || text[0] == QLatin1Char('\r'))
        return true;
    qsizetype at = 0;
    while (at < text.size() && isLeadingBlank(text[at]))
        ++at;
    if (at == text.size())
        return false;
    const char16_t sign = asciiSign(text[at].unicode());
    if (sign == u'=' || sign == u'@' || sign == u'|')
        return true;
    return (sign == u'+' || sign == u'-') && !isNumber(QStringView(text).sliced(at + 1));
}

QString field(const QString& text, bool raw) {
    QString cell = text;
    if (!raw) {
        for (qsizetype i = 0; i < cell.size(); ++i) {
            const char16_t c = cell[i].unicode();
            if (isControl(c) && c != u'\t' && c != u'\r' && c != u'\n')
                cell[i] = QLatin1Char(' ');
        }
        if (runsAsFormula(cell))
            cell.prepend(QLatin1Char('\''));
    }
    if (!cell.contains(QLatin1Char(',')) && !cell.contains(QLatin1Char('"')) && !cell.contains(QLatin1Char('\n')) &&
        !cell.contains(QLatin1Char('\r')))
        return cell;
    cell.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + cell + QLatin1Char('"');
}

} // namespace csvcell
