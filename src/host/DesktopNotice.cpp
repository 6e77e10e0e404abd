#include "host/DesktopNotice.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QVariantMap>

bool sendDesktopNotice(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusInterface notices(QStringLiteral("org.freedesktop.Notifications"),
                           QStringLiteral("/org/freedesktop/Notifications"),
                           QStringLiteral("org.freedesktop.Notifications"), bus);
    if (!notices.isValid())
        return false;
    // A cron or login entry must not hang on a service that never answers.
    notices.setTimeout(10000);
    const QDBusReply<uint> reply =
        notices.call(QStringLiteral("Notify"), QStringLiteral("KYTDscMgr"), 0u, QStringLiteral("kytdscmgr"), summary,
                     body, QStringList(), QVariantMap(), -1);
    return reply.isValid();
}
