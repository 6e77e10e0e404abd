#pragma once

#include "store/CertRows.h"

#include <optional>
#include <QDateTime>

class ClsMain;
namespace kyt {
class Db;
}

// Tokens out of the office: with the holder or another person after their last movement, renewed
// certificates left out (their renewal holds the token now). Counted
// for the host window, listed by the register and by `dscmgr list --token-out`.
namespace custody {

// "OutDays" in section "Custody" of the settings: a token out longer than this many days is overdue.
inline constexpr int kDefaultOutDays = 14;
int outDaysSetting(ClsMain& component);

struct OutCounts {
    int out = 0;     // out of the office
    int overdue = 0; // out for more than the days asked
};
// Counts as of `now`; none out when the register has no movements yet. Raises kyt::Error when the
// database fails.
OutCounts countOut(kyt::Db& db, const QDateTime& now, int days);

// The certificates whose token is out, or out for more than `days` days before `now`, in the list's
// order (validity start, then name); none while the register has no movements.
CertRows::Selection outSelection(kyt::Db& db, const QDateTime& now, std::optional<int> days);

} // namespace custody
