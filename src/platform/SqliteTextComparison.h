#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

struct sqlite3;

// Text comparison on an SQLite connection made to behave as the register's MariaDB tables do:
// letter case and trailing blanks do not count. The statements stay as written; the text columns
// of a table the register creates are declared with a comparison of the register's own name, which
// folds every letter (not only A to Z) and ignores trailing blanks.
//
// Other programs opening the file do not know that comparison: they read and write the rows, and
// only compare such a column when told which comparison to use. An index is ordered by its key's
// comparison, and a program checking the file orders the keys as it knows how; so no index is kept
// on a column with the register's comparison. Such an index is made on a plain key instead (see
// indexedMatch), which every program computes and orders alike. The text columns of a table's
// primary key, which SQLite indexes itself, are declared with SQLite's own NOCASE.
namespace kyt::sqlitetext {

// Installs the comparison on the open connection. False, with the reason, when it cannot be.
bool installComparison(const QSqlDatabase& connection, QString* error);

// The same on a connection opened with SQLite's own interface, such as a copy being made of the
// register: a query that compares a text column fails on a connection that lacks the comparison.
bool installComparison(sqlite3* db);

// The table named by a "Create Table" statement, or the empty text for any other statement.
QString createdTable(const QString& sql);

// The table a "Create Index" statement is made on, or the empty text for any other statement.
QString indexedTable(const QString& sql);

// Declares the text columns of `table` with the comparison. A table created earlier without it
// is rebuilt, rows, indexes and triggers kept, in one transaction; a table that cannot be rebuilt
// (a read-only file, for instance) is left as it is. False when it was left so. Indexes on the
// table are then keyed as every program orders alike (adoptIndexes).
bool adoptComparison(const QSqlDatabase& connection, const QString& table);

// Remakes every index of `table` that orders a column by the register's comparison on that
// column's plain key instead, under the same name. False when one could not be remade.
bool adoptIndexes(const QSqlDatabase& connection, const QString& table);

// Mends a file written by earlier versions, which declared the register's text columns with
// SQLite's own NOCASE comparison while ordering their indexes by another meaning of it: every table
// with such a column is declared anew and its indexes remade. Left as it is when it cannot be.
void mendEarlierTables(const QSqlDatabase& connection);

// A condition to add to a statement comparing `column` with one of `values` (by the register's
// comparison), so that SQLite finds the rows through the column's plain-key index instead of
// reading the table: " And <key of column> In (...)". It never leaves out a row the comparison
// finds equal.
QString indexedMatch(const QString& column, const QStringList& values);

} // namespace kyt::sqlitetext
