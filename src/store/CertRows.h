#pragma once

#include "platform/Db.h"
#include "store/RecordLayout.h"

#include <array>
#include <functional>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>

// The certificate list's rows as the register reads them, shared by the window's list and the
// command line, which prints them without building a list widget.
namespace CertRows {

// Every field of a record, in table order (RecordLayout::Field): the list's columns 1..16.
inline constexpr int kFields = RecordLayout::kFieldCount;
using Fields = std::array<QString, kFields>;
using Utf8Fields = std::array<QByteArrayView, kFields>; // valid during the call that hands them over

enum class Filter { All, Expired, Expiring };

// What a filter lists: the heading, the cut-off it used ("DD/MM/YYYY HH:MM:SS", empty for all) and
// the statement.
struct Selection {
    QString heading;
    QString cutOff;
    QString sql;
};

// `days` counts for the expiring filter only; any number is taken, the cut-off staying within the
// dates that have four-digit years.
Selection select(Filter filter, const QDateTime& now, double days);

// Runs the statement and hands each row to `row` in list order (validity start, then name). Raises
// kyt::Error when the statement fails, when the table lacks one of the list's columns, or when a
// row cannot be read (the rows before it have been handed over).
void read(kyt::Db& db, const QString& sql, const std::function<void(const Fields&)>& row);
// The same rows as UTF-8. On SQLite the texts come straight from the file, which keeps them in
// UTF-8: a hundred thousand rows go to a printer or a pipe without a conversion per cell.
void readUtf8(kyt::Db& db, const QString& sql, const std::function<void(const Utf8Fields&)>& row);

} // namespace CertRows
