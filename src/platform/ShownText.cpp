#include "platform/ShownText.h"

namespace {
bool isBidiControl(char16_t c) {
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}
// The characters of Unicode's control category: C0, DEL and C1.
bool isControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}
} // namespace

namespace shown {

QString visibleControls(const QString& text) {
    // Most texts hold none: they are handed back shared, without a copy.
    qsizetype first = 0;
    while (first < text.size() && !isBidiControl(text[first].unicode()))
        ++first;
    if (first == text.size())
        return text;
    QString visible = text.left(first);
    for (qsizetype i = first; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (isBidiControl(c))
            visible += QStringLiteral("<U+%1>").arg(unsigned(c), 4, 16, QLatin1Char('0')).toUpper();
        else
            visible += text[i];
    }
    return visible;
}

QString terminalCell(const QString& text) {
    // A clean text, the usual case, is found in one pass and handed back without a copy.
    const QChar* chars = text.constData();
    qsizetype i = 0;
    while (i < text.size() && !isControl(chars[i].unicode()) && !isBidiControl(chars[i].unicode()))
        ++i;
    if (i == text.size())
        return text;
    QString cell = visibleControls(text);
    for (QChar& c : cell)
        if (isControl(c.unicode()))
            c = QLatin1Char(' ');
    return cell;
}

} // namespace shown
