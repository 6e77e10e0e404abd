#include "reminders/ReminderLedger.h"

#include "component/Module1.h"
#include "platform/Db.h"
#include "platform/Error.h"
#include "store/ReminderLog.h"

namespace {
QString sqlTime(const QDateTime& t) {
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString quoted(const QString& text) {
    return QLatin1Char('\'') + QuoteSql(text) + QLatin1Char('\'');
}
} // namespace

QString DueReminder::key() const {
    return QStringLiteral("%1|%2|%3|%4").arg(srNo).arg(serial, validToSql()).arg(step);
}

ReminderLedger::ReminderLedger(kyt::Db& db, QString runId, QString desk, QString zone, int leaseMinutes)
    : db_(db), runId_(std::move(runId)), desk_(desk.left(100)), zone_(zone.left(64)), leaseSeconds_(60 * leaseMinutes) {
}

QString ReminderLedger::leaseEnd() const {
    return reminderlog::databaseNow(db_, leaseSeconds_);
}

ReminderLedger::State ReminderLedger::stateSince(const QDateTime& since) {
    State state;
    if (!reminderlog::sentLogExists(db_))
        return state;
    const QString now = reminderlog::databaseNow(db_);
    kyt::RowSet rs = db_.openRowSet(
        QStringLiteral("Select SrNo, SerialNo, DtTo, Step, Status, Desk, ClaimedAt, Case When LeaseUntil Is Null Or "
                       "LeaseUntil<%1 Then 1 Else 0 End From DscReminders Where DtTo>='%2'")
            .arg(now, sqlTime(since)));
    for (; !rs.eof(); rs.next()) {
        const QString key = QStringLiteral("%1|%2|%3|%4").arg(rs.text(0), rs.text(1), rs.text(2), rs.text(3));
        const QString status = rs.text(4);
        if (status == QLatin1String("sent"))
            state.sent.insert(key);
        else if (status == QLatin1String("noaddress"))
            state.noAddress.insert(key);
        else if (rs.value(7).toInt() == 0)
            state.held.insert(key, QStringLiteral("claimed by %1 at %2 UTC").arg(rs.text(5), rs.text(6)));
        // A claim whose lease ended is due again: the run that made it is gone.
    }
    rs.close();
    return state;
}

QString ReminderLedger::where(const DueReminder& r) const {
    // One arg() for all values: a value holding "%4" must not be taken for a place of its own.
    return QStringLiteral(" Where SrNo=%1 And SerialNo=%2 And DtTo='%3' And Step=%4")
        .arg(QString::number(r.srNo), quoted(r.serial), r.validToSql(), QString::number(r.step));
}

bool ReminderLedger::claim(const DueReminder& r) {
    const QString now = reminderlog::databaseNow(db_);
    try {
        db_.execute(QStringLiteral("Insert Into DscReminders (SrNo, SerialNo, DtTo, Step, Email, Status, ClaimedAt, "
                                   "Desk, RunId, LeaseUntil, Zone) Values (%1,%2,'%3',%4,%5,'claimed',%6,%7,%8,%9,%10)")
                        .arg(QString::number(r.srNo), quoted(r.serial), r.validToSql(), QString::number(r.step),
                             quoted(r.email.left(255)), now, quoted(desk_), quoted(runId_), leaseEnd(), quoted(zone_)));
        return true;
    } catch (const kyt::Error&) {
        // The row is there: taken over when its run died or when it only noted a missing address,
        // in one statement so that of two runs trying at once only one gets it. A sent mark stays.
        db_.execute(QStringLiteral("Update DscReminders Set Status='claimed', Email=%1, ClaimedAt=%2, Desk=%3, "
                                   "RunId=%4, LeaseUntil=%5, Zone=%6")
                        .arg(quoted(r.email.left(255)), now, quoted(desk_), quoted(runId_), leaseEnd(), quoted(zone_)) +
                    where(r) +
                    QStringLiteral(" And (Status='noaddress' Or (Status='claimed' And (LeaseUntil Is Null Or "
                                   "LeaseUntil<%1)))")
                        .arg(now));
        kyt::RowSet rs = db_.openRowSet(QStringLiteral("Select Status, RunId From DscReminders") + where(r));
        if (rs.isEmpty())
            throw; // not a taken key: a fault of its own
        const bool mine = rs.text(0) == QLatin1String("claimed") && rs.text(1) == runId_;
        rs.close();
        return mine;
    }
}

void ReminderLedger::renewLease() {
    db_.execute(QStringLiteral("Update DscReminders Set LeaseUntil=%1 Where RunId=%2 And Status='claimed'")
                    .arg(leaseEnd(), quoted(runId_)));
}

void ReminderLedger::markSent(const DueReminder& r) {
    db_.execute(QStringLiteral("Update DscReminders Set Status='sent', SentAt=%1").arg(reminderlog::databaseNow(db_)) +
                where(r) + QStringLiteral(" And RunId=%1").arg(quoted(runId_)));
}

void ReminderLedger::release(const DueReminder& r) {
    db_.execute(QStringLiteral("Delete From DscReminders") + where(r) +
                QStringLiteral(" And RunId=%1 And Status='claimed'").arg(quoted(runId_)));
}

bool ReminderLedger::markNoAddress(const DueReminder& r) {
    try {
        db_.execute(QStringLiteral("Insert Into DscReminders (SrNo, SerialNo, DtTo, Step, Email, Status, ClaimedAt, "
                                   "Desk, RunId, Zone) Values (%1,%2,'%3',%4,%5,'noaddress',%6,%7,%8,%9)")
                        .arg(QString::number(r.srNo), quoted(r.serial), r.validToSql(), QString::number(r.step),
                             quoted(r.email.left(255)), reminderlog::databaseNow(db_), quoted(desk_), quoted(runId_),
                             quoted(zone_)));
        return true;
    } catch (const kyt::Error&) {
        return false; // noted by an earlier run (or claimed by one that found an address)
    }
}
