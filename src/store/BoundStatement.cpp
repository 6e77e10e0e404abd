#include "store/BoundStatement.h"

#include "platform/Error.h"

#include <QSqlError>
#include <QSqlQuery>

namespace bound {

namespace {
std::unique_ptr<QSqlQuery> run(kyt::Db& db, const QString& sql, const QVariantList& values) {
    auto q = std::make_unique<QSqlQuery>(db.connection());
    q->setForwardOnly(true);
    bool ok = q->prepare(sql);
    for (const QVariant& v : values)
        q->addBindValue(v);
    ok = ok && q->exec();
    if (!ok)
        kyt::raise(kyt::errnum::Database,
                   q->lastError().text().simplified() + QStringLiteral(" [") + sql + QLatin1Char(']'),
                   QStringLiteral("KYTDscMgr.Db (%1)").arg(db.driverName()));
    return q;
}
} // namespace

void execute(kyt::Db& db, const QString& sql, const QVariantList& values) {
    run(db, sql, values);
}

kyt::RowSet rows(kyt::Db& db, const QString& sql, const QVariantList& values) {
    return kyt::RowSet(run(db, sql, values));
}

} // namespace bound
