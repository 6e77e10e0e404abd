#include "reminders/MailTemplate.h"

namespace MailTemplate {

namespace {
// Walks the template once. Calls `literal` for plain text and `placeholder` for each name in
// braces; returns the first fault, or the empty text.
template <class Literal, class Placeholder>
QString walk(const QString& text, Literal literal, Placeholder placeholder) {
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c == QLatin1Char('{') && i + 1 < text.size() && text[i + 1] == QLatin1Char('{')) {
            literal(QStringLiteral("{"));
            i += 2;
        } else if (c == QLatin1Char('}') && i + 1 < text.size() && text[i + 1] == QLatin1Char('}')) {
            literal(QStringLiteral("}"));
            i += 2;
        } else if (c == QLatin1Char('{')) {
            const qsizetype close = text.indexOf(QLatin1Char('}'), i + 1);
            const qsizetype nextOpen = text.indexOf(QLatin1Char('{'), i + 1);
            if (close < 0 || (nextOpen >= 0 && nextOpen < close))
                return QStringLiteral("has a \"{\" without its \"}\" at \"%1\"").arg(text.mid(i, 20));
            const QString name = text.mid(i + 1, close - i - 1);
            if (!placeholders().contains(name))
                return QStringLiteral("names an unknown placeholder {%1}").arg(name);
            placeholder(name);
            i = close + 1;
        } else if (c == QLatin1Char('}')) {
            return QStringLiteral("has a \"}\" without its \"{\" at \"%1\"")
                .arg(text.mid(qMax<qsizetype>(0, i - 19), 20));
        } else {
            const qsizetype next = [&] {
                qsizetype n = i;
                while (n < text.size() && text[n] != QLatin1Char('{') && text[n] != QLatin1Char('}'))
                    ++n;
                return n;
            }();
            literal(text.mid(i, next - i));
            i = next;
        }
    }
    return {};
}
} // namespace

const QStringList& placeholders() {
    static const QStringList names = {QStringLiteral("name"),    QStringLiteral("serial"),   QStringLiteral("type"),
                                      QStringLiteral("issuer"),  QStringLiteral("valid_to"), QStringLiteral("days"),
                                      QStringLiteral("practice")};
    return names;
}

QString check(const QString& label, const QString& text) {
    const QString fault = walk(
        text, [](const QString&) {}, [](const QString&) {});
    return fault.isEmpty() ? fault : QStringLiteral("The %1 template %2.").arg(label, fault);
}

QString fill(const QString& text, const QHash<QString, QString>& values) {
    QString out;
    walk(
        text, [&](const QString& s) { out += s; }, [&](const QString& name) { out += values.value(name); });
    return out;
}

} // namespace MailTemplate
