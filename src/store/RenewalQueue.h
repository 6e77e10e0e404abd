#pragma once

#include "store/CertRows.h"
#include "store/ListExport.h"

#include <QHash>
#include <QStringList>
#include <vector>

namespace kyt {
class Db;
}

// The renewal desk's two views of the register: the certificates due for renewal (not expired yet,
// valid to a date within a number of days, not renewed), soonest first; and those that expired
// within the last number of days without a renewal, the latest first. Both show two columns of
// their own after the record's fields: the days left and when the holder was last reminded.
namespace RenewalQueue {

enum class View { Due, RecentlyExpired };

// The view's own columns, after the record's fields.
inline constexpr int kViewColumns = 2;
QStringList viewHeadings();
// What they hold, for a workbook: the days left a number, when a holder was last reminded a date.
std::vector<listexport::Kind> viewKinds();

// The heading, cut-off and statement of a view. The statement takes in renewed certificates too:
// the reader leaves out the rows of Renewals::renewedRecords.
CertRows::Selection select(View view, const QDateTime& now, double days);

// "Days Left": whole calendar days from today to the Valid To date ("DD/MM/YYYY HH:MM:SS"); 0 on
// the day it expires, negative after.
QString daysLeft(const QDate& today, QStringView validTo);

// When each record's holder was last sent a reminder (UTC, "DD/MM/YYYY HH:MM:SS"), by record
// number; empty when the register keeps no sent-log yet.
QHash<int, QString> lastReminded(kyt::Db& db);

} // namespace RenewalQueue
