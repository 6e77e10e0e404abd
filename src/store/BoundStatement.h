#pragma once

#include "platform/Db.h"

#include <QVariantList>

// Statements on the tables of our own beside DscStore carry no values in their text: each "?" is
// bound to the next of `values`. Failures raise kyt::Error as the connection's own statements do.
namespace bound {

void execute(kyt::Db& db, const QString& sql, const QVariantList& values);
kyt::RowSet rows(kyt::Db& db, const QString& sql, const QVariantList& values);

} // namespace bound
