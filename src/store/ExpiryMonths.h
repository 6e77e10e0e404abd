#pragma once

#include "store/CertRows.h"

#include <array>
#include <QDate>
#include <QDateTime>

namespace kyt {
class Db;
}

// How many certificates expire in each of the next twelve months: month 0 is the rest of the
// current month (from now on), month 11 the eleventh month after it. Those already expired are
// counted apart. Certificates renewed already (see Renewals) are left out: nobody need act on them.
// Read by the valid-to index (createIndex) where the database has one.
struct ExpiryMonths {
    static constexpr int kMonths = 12;
    int expired = 0; // valid to now or earlier
    std::array<int, kMonths> months{};
    QDate firstMonth;      // the first day of month 0
    bool readable = false; // false when the table cannot be read

    static ExpiryMonths count(kyt::Db& db, const QDateTime& now);
    // The index on the valid-to dates that keeps counting quick on a large register.
    static QString createIndex();
    // The list of month `index`'s certificates, as a list filter's selection: "List of Certificates
    // Expiring in December 2026". `linksTable`: whether the register has its table of renewals.
    static CertRows::Selection monthSelection(const QDateTime& now, int index, bool linksTable);
    // The list of the expired ones the first bar counts.
    static CertRows::Selection expiredSelection(const QDateTime& now, bool linksTable);
};
