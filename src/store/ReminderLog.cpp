#include "store/ReminderLog.h"

#include "platform/Db.h"
#include "platform/Error.h"

namespace reminderlog {

namespace {
const char* const kSentLog =
    "Create Table If Not Exists DscReminders (SrNo Int(11) Not Null, SerialNo Varchar(100) Not Null, DtTo "
    "Varchar(19) Not Null, Step Int(11) Not Null, Email Varchar(255), Status Varchar(10), ClaimedAt Varchar(19), "
    "SentAt Varchar(19), Desk Varchar(100), RunId Varchar(64), LeaseUntil Varchar(19), Zone Varchar(64), "
    "Primary Key (SrNo, SerialNo, DtTo, Step))";
const char* const kRuns =
    "Create Table If Not Exists DscReminderRuns (RunId Varchar(64) Not Null Primary Key, StartedAt Varchar(26) Not "
    "Null, Desk Varchar(100), Sent Int(11), Failed Int(11), Skipped Int(11), Renewed Int(11), Pending Int(11), "
    "Stopped Varchar(255), Summary Text)";
// Columns an earlier version of the sent-log did not have.
const char* const kAddedColumns[][2] = {
    {"RunId", "Varchar(64)"}, {"LeaseUntil", "Varchar(19)"}, {"Zone", "Varchar(64)"}};

bool columnExists(kyt::Db& db, const QString& table, const QString& column) {
    try {
        kyt::RowSet rs = db.openRowSet(QStringLiteral("Select %1 From %2 Where 1=0").arg(column, table));
        rs.close();
        return true;
    } catch (const kyt::Error&) {
        return false;
    }
}
} // namespace

QStringList createStatements() {
    return {QLatin1String(kSentLog), QLatin1String(kRuns)};
}

void ensureTables(kyt::Db& db) {
    for (const QString& statement : createStatements())
        db.execute(statement);
    for (const auto& [column, declared] : kAddedColumns)
        if (!columnExists(db, QStringLiteral("DscReminders"), QLatin1String(column)))
            db.execute(QStringLiteral("Alter Table DscReminders Add Column %1 %2")
                           .arg(QLatin1String(column), QLatin1String(declared)));
}

bool sentLogExists(kyt::Db& db) {
    return columnExists(db, QStringLiteral("DscReminders"), QStringLiteral("SrNo"));
}

bool runsTableExists(kyt::Db& db) {
    return columnExists(db, QStringLiteral("DscReminderRuns"), QStringLiteral("RunId"));
}

QString databaseNow(const kyt::Db& db, int secondsAhead) {
    if (db.backend() == kyt::Db::Backend::MySQL)
        return QStringLiteral("Date_Format(UTC_TIMESTAMP() + Interval %1 Second, '%Y-%m-%d %H:%i:%s')")
            .arg(secondsAhead);
    return QStringLiteral("datetime('now', '%1 seconds')")
        .arg(secondsAhead >= 0 ? QStringLiteral("+%1").arg(secondsAhead) : QString::number(secondsAhead));
}

QString databaseNowPrecise(const kyt::Db& db) {
    if (db.backend() == kyt::Db::Backend::MySQL)
        return QStringLiteral("Date_Format(UTC_TIMESTAMP(6), '%Y-%m-%d %H:%i:%s.%f')");
    return QStringLiteral("strftime('%Y-%m-%d %H:%M:%f', 'now')");
}

QString LastReminder::stepText() const {
    return step < 0 ? QStringLiteral("after expiry") : QStringLiteral("%1-day step").arg(step);
}

QString LastReminder::describe() const {
    return QStringLiteral("%1 UTC, %2").arg(sentAt, stepText());
}

namespace {
LastReminder fromRow(const kyt::RowSet& rs) {
    const QString at = rs.text(1); // YYYY-MM-DD HH:MM:SS
    LastReminder last;
    last.sentAt =
        at.size() >= 16 ? QStringLiteral("%1/%2/%3 %4").arg(at.mid(8, 2), at.mid(5, 2), at.left(4), at.mid(11, 5)) : at;
    last.sentAtSeconds = at.size() >= 19 ? last.sentAt + at.mid(16, 3) : last.sentAt;
    last.step = rs.value(2).toInt();
    last.zone = rs.text(3);
    return last;
}
} // namespace

std::optional<LastReminder> lastReminded(kyt::Db& db, int srNo) {
    try {
        kyt::RowSet rs = db.openRowSet(QStringLiteral("Select SrNo, SentAt, Step, Zone From DscReminders Where SrNo=%1 "
                                                      "And Status='sent' Order By SentAt Desc")
                                           .arg(srNo));
        if (rs.eof())
            return std::nullopt;
        LastReminder last = fromRow(rs);
        rs.close();
        return last;
    } catch (const kyt::Error&) {
        return std::nullopt;
    }
}

QHash<int, LastReminder> lastRemindedAll(kyt::Db& db) {
    QHash<int, LastReminder> all;
    try {
        kyt::RowSet rs = db.openRowSet(QStringLiteral(
            "Select SrNo, SentAt, Step, Zone From DscReminders Where Status='sent' Order By SrNo, SentAt"));
        for (; !rs.eof(); rs.next())
            all.insert(rs.value(0).toInt(), fromRow(rs)); // the latest of each record comes last
        rs.close();
    } catch (const kyt::Error&) {
    }
    return all;
}

} // namespace reminderlog
