#pragma once

#include <QSqlDatabase>
#include <QString>

// Text comparison on an SQLite connection made to behave as the register's MariaDB tables do:
// letter case and trailing blanks do not count. The statements stay as written; the connection's
// NOCASE collation is replaced by one that folds every letter (not only A to Z) and ignores
// trailing blanks, and the text columns of a table the register creates are declared with it.
// Other programs opening the file still know NOCASE, so the file stays usable by them.
namespace kyt::sqlitetext {

// Installs the comparison on the open connection. False, with the reason, when it cannot be.
bool installComparison(const QSqlDatabase& connection, QString* error);

// The table named by a "Create Table" statement, or the empty text for any other statement.
QString createdTable(const QString& sql);

// Declares the text columns of `table` with the comparison. A table created earlier without it
// is rebuilt, rows, indexes and triggers kept, in one transaction; a table that cannot be rebuilt
// (a read-only file, for instance) is left as it is. False when it was left so.
bool adoptComparison(const QSqlDatabase& connection, const QString& table);

} // namespace kyt::sqlitetext
