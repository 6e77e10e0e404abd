// The entry of a record's insert, update, delete or restore, alone in its file: a program may link
// its own in its place, as the benchmark that measures what the entries cost does.

#include "platform/Db.h"
#include "store/RecordHistory.h"

#include <QSysInfo>

namespace RecordHistory {

qint64 write(kyt::Db& db, Change change, int srNo, const std::optional<StoreStatements::RecordValues>& before,
             const std::optional<StoreStatements::RecordValues>& after, const QString& documents, qint64 takesBack) {
    const QString now = db.backend() == kyt::Db::Backend::SQLite ? QStringLiteral("datetime('now','localtime')")
                                                                 : QStringLiteral("NOW()");
    const QVariant id = db.execute(
        QStringLiteral("Insert Into DscHistory (ChangedAt, Host, Login, ChangeKind, SrNo, OldValues, "
                       "NewValues, Documents, TakesBack) Values (%1, ?, ?, ?, ?, ?, ?, ?, ?)")
            .arg(now),
        {QSysInfo::machineHostName(), loginName(), changeName(change), srNo, before ? valuesText(*before) : QString(),
         after ? valuesText(*after) : QString(), documents, takesBack});
    return id.toLongLong();
}

} // namespace RecordHistory
