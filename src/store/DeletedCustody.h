#pragma once

#include <QtGlobal>

namespace kyt {
class Db;
}

// A deleted record's token movements leave DscCustody with it: they are set aside in table
// DscCustodyDeleted under the delete's history entry, so that a record given the same number later
// starts with no custody of its own and the tokens counted out are only those of records in the
// register. Restoring the record brings them back under whatever number it comes back as.
namespace DeletedCustody {

// Creates the table when DscCustody is there and it is missing (once per connection, outside a
// transaction). A register whose movements were kept before it existed has the movements of its
// records deleted by then set aside at that moment, under their record's last delete.
void ensureTable(kyt::Db& db);

// Inside the delete's transaction: moves record n's movements aside under the delete's history
// entry. Nothing to do when the register keeps no movements.
void setAside(kyt::Db& db, int srNo, qint64 deleteEntry);

// Inside the restore's transaction: the movements set aside by delete entry `deleteEntry` go back,
// in their order, to record n, after any that record has (their copies stay, under no delete).
void bringBack(kyt::Db& db, qint64 deleteEntry, int srNo);

// How many movements were ever set aside: it grows with each delete that sets some aside, and no
// restore lowers it.
qint64 setAsideCount(kyt::Db& db);

} // namespace DeletedCustody
