#include "reminders/RunHistory.h"

#include "component/Module1.h"
#include "platform/Db.h"
#include "platform/Error.h"
#include "store/ReminderLog.h"

namespace {
QString quoted(const QString& text) {
    return QLatin1Char('\'') + QuoteSql(text) + QLatin1Char('\'');
}
} // namespace

void RunHistory::add(const QString& runId, const QString& desk, const ReminderRun::Outcome& o, const QString& summary) {
    reminderlog::ensureTables(db_);
    db_.execute(QStringLiteral("Insert Into DscReminderRuns (RunId, StartedAt, Desk, Sent, Failed, Skipped, Renewed, "
                               "Pending, Stopped, Summary) Values (%1,%2,%3,%4,%5,%6,%7,%8,%9,%10)")
                    .arg(quoted(runId), reminderlog::databaseNowPrecise(db_), quoted(desk.left(100)),
                         QString::number(o.sent), QString::number(o.failed), QString::number(o.skipped),
                         QString::number(o.renewed), QString::number(o.pending), quoted(o.stopped.left(255)),
                         quoted(summary.left(16000))));
    // The kept runs in a table of their own first: a table may not be read in the statement that
    // deletes from it on every server.
    db_.execute(QStringLiteral("Delete From DscReminderRuns Where RunId Not In (Select RunId From (Select RunId From "
                               "DscReminderRuns Order By StartedAt Desc, RunId Desc Limit %1) As kept)")
                    .arg(kRunsKept));
}

QList<RunHistory::Entry> RunHistory::recent() {
    QList<Entry> entries;
    if (!reminderlog::runsTableExists(db_))
        return entries;
    kyt::RowSet rs = db_.openRowSet(QStringLiteral("Select StartedAt, Desk, Sent, Failed, Skipped, Renewed, Pending, "
                                                   "Stopped, Summary From DscReminderRuns Order By StartedAt Desc"));
    for (; !rs.eof() && entries.size() < kRunsKept; rs.next()) {
        const QString at = rs.text(0);
        Entry e;
        e.startedAt = at.size() >= 19
                          ? QStringLiteral("%1/%2/%3 %4").arg(at.mid(8, 2), at.mid(5, 2), at.left(4), at.mid(11, 8))
                          : at;
        e.desk = rs.text(1);
        e.sent = rs.value(2).toInt();
        e.failed = rs.value(3).toInt();
        e.skipped = rs.value(4).toInt();
        e.renewed = rs.value(5).toInt();
        e.pending = rs.value(6).toInt();
        e.stopped = rs.text(7);
        e.summary = rs.text(8);
        entries << e;
    }
    rs.close();
    return entries;
}
