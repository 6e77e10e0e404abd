#include "reminders/ReminderLedger.h"

#include "component/Module1.h"
#include "platform/Db.h"
#include "platform/Error.h"

namespace {
QString sqlTime(const QDateTime& t) {
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
} // namespace

QString DueReminder::key() const {
    return QStringLiteral("%1|%2|%3|%4").arg(srNo).arg(serial, validToSql()).arg(step);
}

void ReminderLedger::createTable() {
    db_.execute(QStringLiteral("Create Table If Not Exists DscReminders (SrNo Int(11) Not Null, SerialNo Varchar(100) "
                               "Not Null, DtTo Varchar(19) Not Null, Step Int(11) Not Null, Email Varchar(255), "
                               "Status Varchar(10), ClaimedAt Varchar(19), SentAt Varchar(19), Desk Varchar(100), "
                               "Primary Key (SrNo, SerialNo, DtTo, Step))"));
}

QSet<QString> ReminderLedger::markedSince(const QDateTime& since, bool tableMayBeMissing) {
    QSet<QString> keys;
    kyt::RowSet rs;
    try {
        rs = db_.openRowSet(
            QStringLiteral("Select SrNo, SerialNo, DtTo, Step From DscReminders Where DtTo>='%1'").arg(sqlTime(since)));
    } catch (const kyt::Error&) {
        if (tableMayBeMissing)
            return keys;
        throw;
    }
    for (; !rs.eof(); rs.next())
        keys.insert(QStringLiteral("%1|%2|%3|%4").arg(rs.text(0), rs.text(1), rs.text(2), rs.text(3)));
    rs.close();
    return keys;
}

void ReminderLedger::dropStaleClaims(const QDateTime& now) {
    db_.execute(QStringLiteral("Delete From DscReminders Where Status='claimed' And ClaimedAt<'%1'")
                    .arg(sqlTime(now.addSecs(-60 * kStaleClaimMinutes))));
}

QString ReminderLedger::where(const DueReminder& r) const {
    return QStringLiteral(" Where SrNo=%1 And SerialNo='%2' And DtTo='%3' And Step=%4")
        .arg(r.srNo)
        .arg(QuoteSql(r.serial), r.validToSql())
        .arg(r.step);
}

bool ReminderLedger::claim(const DueReminder& r, const QString& desk, const QDateTime& now) {
    try {
        db_.execute(QStringLiteral("Insert Into DscReminders (SrNo, SerialNo, DtTo, Step, Email, Status, ClaimedAt, "
                                   "Desk) Values (%1,'%2','%3',%4,'%5','claimed','%6','%7')")
                        .arg(r.srNo)
                        .arg(QuoteSql(r.serial), r.validToSql())
                        .arg(r.step)
                        .arg(QuoteSql(r.email.left(255)), sqlTime(now), QuoteSql(desk.left(100))));
        return true;
    } catch (const kyt::Error&) {
        // The key is taken when another run got there first; anything else is a fault of its own.
        kyt::RowSet rs = db_.openRowSet(QStringLiteral("Select Status From DscReminders") + where(r));
        const bool taken = !rs.isEmpty();
        rs.close();
        if (taken)
            return false;
        throw;
    }
}

void ReminderLedger::markSent(const DueReminder& r, const QDateTime& now) {
    db_.execute(QStringLiteral("Update DscReminders Set Status='sent', SentAt='%1'").arg(sqlTime(now)) + where(r));
}

void ReminderLedger::release(const DueReminder& r) {
    db_.execute(QStringLiteral("Delete From DscReminders") + where(r));
}
