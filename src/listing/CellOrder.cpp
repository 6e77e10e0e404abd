#include "listing/CellOrder.h"

#include <algorithm>
#include <QChar>

namespace cellorder {

namespace {
bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

char32_t folded(char16_t c) {
    if (c < 128)
        return c >= u'A' && c <= u'Z' ? char32_t(c + 32) : char32_t(c);
    return QChar::toCaseFolded(char32_t(c));
}

} // namespace

qint64 dateKey(QStringView t) {
    static constexpr int kDigitAt[14] = {6, 7, 8, 9, 3, 4, 0, 1, 11, 12, 14, 15, 17, 18};
    if (t.size() != 19)
        return -1;
    qint64 key = 0;
    for (int at : kDigitAt) {
        const char16_t c = t[at].unicode();
        if (!isDigit(c))
            return -1;
        key = key * 10 + (c - u'0');
    }
    return key;
}

void appendSortKey(QStringView text, std::u16string& key) {
    for (qsizetype i = 0; i < text.size();) {
        const char16_t c = text[i].unicode();
        if (!isDigit(c)) {
            const char32_t f = folded(c);
            key.push_back(f > 0xFFFF ? c : char16_t(f));
            ++i;
            continue;
        }
        // A number: a '0' where it stands (so it orders against letters as a digit does), the
        // count of its digits without leading zeros (longer is larger), then those digits.
        while (i < text.size() && text[i] == u'0')
            ++i;
        qsizetype end = i;
        while (end < text.size() && isDigit(text[end].unicode()))
            ++end;
        key.push_back(u'0');
        key.push_back(char16_t(std::min<qsizetype>(end - i, 0xFFFF)));
        for (; i < end; ++i)
            key.push_back(text[i].unicode());
    }
}

} // namespace cellorder
