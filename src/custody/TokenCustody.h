#pragma once

#include "store/Renewals.h"

#include <optional>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

namespace kyt {
class Db;
}

// Where each certificate's signing token is: table DscCustody keeps every movement of a record's
// token (when, from whom, to whom, by which desk and user, with a note). The token is with whoever
// the last movement handed it to; a record without movements is "Not recorded". Every movement is
// written in one transaction with its history entry.
namespace custody {

// The office's own name as a party: the token is in the office, at a place such as a drawer.
inline const QString kOffice = QStringLiteral("Office");
inline const QString kNotRecorded = QStringLiteral("Not recorded");

// Who or where: "Office" with a place, the holder, or a named person; no name: not recorded.
struct Party {
    QString name{};
    QString place{};
    bool isOffice() const { return name == kOffice; }
    bool isKnown() const { return !name.isEmpty(); }
    bool operator==(const Party&) const = default;
};

// As a clerk reads it: "Office, Drawer 3", "Asha Rao (holder)", "Ramesh Kumar" or "Not recorded".
// `holder` is the record's holder: a party of that name is marked as the holder.
QString describe(const Party& party, const QString& holder = {});

struct Movement {
    qint64 id = 0;
    int srNo = 0;
    QString serialNo;   // the certificate's serial number when the token moved
    QString movedAt;    // "DD/MM/YYYY HH:MM:SS": when the token moved
    QString recordedAt; // "DD/MM/YYYY HH:MM:SS": when the movement was written, by the database's clock
    Party from, to;
    QString host, login, note;
};

// Creates the table and its index when missing (once per connection). Call it outside a transaction.
void ensureTable(kyt::Db& db);
// Whether the table is there (a reader that may not create it asks first).
bool tableExists(kyt::Db& db);

// Record n's movements, oldest first.
QList<Movement> movements(kyt::Db& db, int srNo);
// Record n's last movement: with whom its token is now; none when not recorded.
std::optional<Movement> lastMovement(kyt::Db& db, int srNo);

// The current custody of every record with movements, by record number.
struct Held {
    Party with;
    QString since; // "DD/MM/YYYY HH:MM:SS"
};
QHash<int, Held> currentOfAll(kyt::Db& db);

// A movement to record. A hand-over goes from whoever has the token now to `name`; a receipt goes
// from `name` (empty: whoever has it now) into the office, at `place`.
struct Request {
    enum class Kind { HandOver, Receive } kind = Kind::HandOver;
    int srNo = 0;
    QString name{};
    QString place{};
    QString note{};
    std::optional<QDateTime> at{}; // none: now, by the database's clock
};

struct Outcome {
    bool written = false;
    QString refusal; // why nothing was written, one line for a box or a terminal
    Movement movement;
};

// Checks the request against the register and writes the movement and its history entry together:
// a record that no longer exists, a hand-over to an empty name, a time in the future or before the
// certificate's Valid From or before the token's last movement are refused, nothing written.
// Raises kyt::Error when the database fails; nothing is written then either.
Outcome record(kyt::Db& db, const Request& request);

// A renewal is written onto the same token: record `newSrNo`, which renews `oldSrNo`, takes over
// where the old record's token is, by a movement of its own (from "Not recorded", dated now, with a
// note naming the old record) and its history entry. Nothing happens when the old record's custody
// is not recorded or the new record has movements already. Runs inside the caller's transaction,
// the one that makes the renewal link; raises kyt::Error when the database fails.
void carryOver(kyt::Db& db, int oldSrNo, int newSrNo);
// The same, as the renewal links are told of each link they make.
Renewals::LinkMade carryOverOnLink();

// The database's clock now: what "now" means for every desk.
QDateTime databaseNow(kyt::Db& db);

} // namespace custody
