#include "platform/DbAddress.h"

#include <QUrl>
#include <QUrlQuery>

namespace kyt {

DbAddress DbAddress::sqliteFile(const QString& path) {
    DbAddress a;
    a.kind = Kind::SQLite;
    a.path = path;
    return a;
}

namespace {
// The password as it stands in an address: after the first ":" of what comes between "://" and
// the last "@". Generous on purpose, so that even a garbled address never shows its password.
QString passwordPart(const QString& text) {
    const qsizetype start = text.indexOf(QLatin1String("://"));
    const qsizetype at = text.lastIndexOf(QLatin1Char('@'));
    if (start < 0 || at <= start)
        return {};
    const qsizetype colon = text.indexOf(QLatin1Char(':'), start + 3);
    return colon >= 0 && colon < at ? text.mid(colon + 1, at - colon - 1) : QString();
}
} // namespace

std::optional<DbAddress> DbAddress::parse(const QString& text, QString* error) {
    auto fail = [&](const QString& why) -> std::optional<DbAddress> {
        if (error) {
            *error = QStringLiteral("Unusable database address \"%1\": %2").arg(text, why);
            const QString secret = passwordPart(text);
            if (!secret.isEmpty())
                error->replace(secret, QStringLiteral("****"));
        }
        return std::nullopt;
    };
    if (text.startsWith(QLatin1String("sqlite:"), Qt::CaseInsensitive)) {
        const QString path = text.mid(7);
        if (path.isEmpty())
            return fail(QStringLiteral("no file named after \"sqlite:\"."));
        return sqliteFile(path);
    }
    if (!text.startsWith(QLatin1String("mysql://"), Qt::CaseInsensitive))
        return fail(QStringLiteral("it must begin with \"sqlite:\" or \"mysql://\"."));

    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return fail(url.errorString());
    DbAddress a;
    a.kind = Kind::MySQL;
    a.user = url.userName(QUrl::FullyDecoded);
    a.password = url.password(QUrl::FullyDecoded);
    a.host = url.host(QUrl::FullyDecoded);
    a.port = url.port(0);
    a.database = url.path(QUrl::FullyDecoded).mid(1);
    const QUrlQuery query(url);
    a.socket = query.queryItemValue(QStringLiteral("socket"), QUrl::FullyDecoded);
    if (query.hasQueryItem(QStringLiteral("timeout"))) {
        bool ok = false;
        a.timeoutSeconds = query.queryItemValue(QStringLiteral("timeout")).toInt(&ok);
        if (!ok || a.timeoutSeconds < 1 || a.timeoutSeconds > 3600)
            return fail(QStringLiteral("the timeout must be 1 to 3600 seconds."));
    }
    // The driver takes its options as one text of "NAME=VALUE" pairs split at ";", and cuts a
    // name at a NUL: neither can be part of a path or a name it is given.
    const auto unusable = [](const QString& s) { return s.contains(QChar(0)); };
    if (unusable(a.socket) || a.socket.contains(QLatin1Char(';')))
        return fail(QStringLiteral("the socket must be a path without \";\" or NUL characters."));
    if (unusable(a.user) || unusable(a.password) || unusable(a.host) || unusable(a.database))
        return fail(QStringLiteral("a NUL character cannot be part of a user name, password, host or database."));
    if (a.user.isEmpty())
        return fail(QStringLiteral("no user name."));
    if (a.host.isEmpty())
        return fail(QStringLiteral("no host name."));
    if (a.database.isEmpty() || a.database.contains(QLatin1Char('/')))
        return fail(QStringLiteral("no database name."));
    if (a.port < 0 || a.port > 65535)
        return fail(QStringLiteral("the port is out of range."));
    return a;
}

QString DbAddress::display() const {
    if (kind == Kind::SQLite)
        return QStringLiteral("sqlite:") + path;
    QString s = QStringLiteral("mysql://%1@%2").arg(user, host);
    if (port)
        s += QLatin1Char(':') + QString::number(port);
    s += QLatin1Char('/') + database;
    if (!socket.isEmpty())
        s += QStringLiteral("?socket=") + socket;
    return s;
}

} // namespace kyt
