#include "component/Module1.h"

#include <cmath>
#include <QDateTime>

kyt::ObjectRef& ReportObj() {
    static kyt::ObjectRef report;
    return report;
}

QString FormatDbDate(const QString& s) {
    // Positions only: the separators are not looked at and the digits are not checked.
    if (s.size() == 10)
        return s.mid(6, 4) + QLatin1Char('-') + s.mid(3, 2) + QLatin1Char('-') + s.left(2) + QLatin1String(" 00:00:00");
    if (s.size() == 19)
        return s.mid(6, 4) + QLatin1Char('-') + s.mid(3, 2) + QLatin1Char('-') + s.left(2) + QLatin1Char(' ') +
               s.mid(11, 8);
    return {};
}

QString QuoteSql(const QString& s) {
    QString out = s;
    out.replace(QLatin1Char('\''), QLatin1String("''"));
    return out;
}

double Val(const QString& s) {
    QString digits;
    int i = 0;
    const int n = int(s.size());
    auto skipBlanks = [&] {
        while (i < n && (s[i] == QLatin1Char(' ') || s[i] == QLatin1Char('\t') || s[i] == QLatin1Char('\n') ||
                         s[i] == QLatin1Char('\r')))
            ++i;
    };
    skipBlanks();
    if (i < n && (s[i] == QLatin1Char('-') || s[i] == QLatin1Char('+')))
        digits += s[i++];
    bool any = false, point = false;
    for (; i < n; ++i) {
        const QChar c = s[i];
        if (c.isDigit() && c.unicode() < 128) {
            digits += c;
            any = true;
        } else if (c == QLatin1Char('.') && !point) {
            digits += c;
            point = true;
        } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
            continue; // blanks inside a number are skipped
        } else {
            break;
        }
    }
    if (any && i < n && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        QString exponent = QStringLiteral("e");
        int j = i + 1;
        if (j < n && (s[j] == QLatin1Char('-') || s[j] == QLatin1Char('+')))
            exponent += s[j++];
        bool expDigits = false;
        while (j < n && s[j].isDigit() && s[j].unicode() < 128) {
            exponent += s[j++];
            expDigits = true;
        }
        if (expDigits)
            digits += exponent;
    }
    if (!any)
        return 0;
    bool ok = false;
    const double v = digits.toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0;
}

int RoundHalfEven(double v) {
    if (!std::isfinite(v) || v > 2147483647.0 || v < -2147483648.0)
        return 0;
    return int(std::nearbyint(v)); // the default rounding mode rounds a half to even
}

QString FormatDisplayDate(const QDateTime& dt) {
    return dt.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}
