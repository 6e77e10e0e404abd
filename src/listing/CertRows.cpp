#include "listing/CertRows.h"

#include "component/Module1.h"
#include "platform/Error.h"
#include "register/StoreStatements.h"

namespace {
const char* const kNames[] = {"SrNo",     "Nm",        "Typ",      "SerialNo",  "IssAuth", "DtFrom",
                              "DtTo",     "Email",     "Mobile",   "TelNo",     "IdPrTyp", "IdPrNo",
                              "IdPrFlNm", "AddrPrTyp", "AddrPrNo", "AddrPrFlNm"};
constexpr int kDtFromField = 5;
constexpr int kDtToField = 6;
// More days than lie between any two dates with four-digit years.
constexpr double kMaxDays = 3652059;

// Now plus a number of days, kept within the dates that have four-digit years: a day count beyond
// them lists every certificate (or none), under a heading that names the cut-off really used.
QDateTime expiryCutOff(const QDateTime& now, double days) {
    const QDateTime last(QDate(9999, 12, 31), QTime(23, 59, 59));
    const QDateTime first(QDate(1, 1, 1), QTime(0, 0, 0));
    if (!(days <= kMaxDays))
        return last;
    if (!(days >= -kMaxDays))
        return first;
    const QDateTime cutOff = now.addDays(qint64(days));
    return cutOff > last ? last : cutOff < first ? first : cutOff;
}
} // namespace

namespace CertRows {

Selection select(Filter filter, const QDateTime& now, double days) {
    switch (filter) {
    case Filter::All:
        return {QStringLiteral("List of All Certificates"), QString(), StoreStatements::selectAll()};
    case Filter::Expired: {
        const QString cutOff = FormatDisplayDate(now);
        return {QStringLiteral("List of Certificates Expired on or before ") + cutOff, cutOff,
                StoreStatements::selectExpiringBy(cutOff)};
    }
    case Filter::Expiring:
        break;
    }
    const QString cutOff = FormatDisplayDate(expiryCutOff(now, days));
    return {QStringLiteral("List of Certificates To be Expired on or before ") + cutOff, cutOff,
            StoreStatements::selectExpiringBy(cutOff)};
}

void read(kyt::Db& db, const QString& sql, const std::function<void(const Fields&)>& row) {
    kyt::RowSet rs = db.openRowSet(sql);
    std::array<int, kFields> index{};
    // A table without one of the columns is not the register, empty or not.
    for (int i = 0; i < kFields; ++i) {
        index[size_t(i)] = rs.indexOf(QLatin1String(kNames[i]));
        if (index[size_t(i)] < 0)
            kyt::raise(3265, QStringLiteral("Item cannot be found in the collection: %1").arg(QLatin1String(kNames[i])),
                       QStringLiteral("KYTDscMgr.Db"));
    }
    Fields fields;
    while (!rs.eof()) {
        for (int i = 0; i < kFields; ++i) {
            const int at = index[size_t(i)];
            fields[size_t(i)] = i == kDtFromField || i == kDtToField ? rs.dateText(at) : rs.text(at);
        }
        row(fields);
        rs.next();
    }
    rs.close();
}

} // namespace CertRows
