#pragma once

#include <QStringView>
#include <string>

// How two list cells order when a column is sorted, as people who work in spreadsheets expect.
namespace cellorder {

// "DD/MM/YYYY HH:MM:SS" as the number YYYYMMDDhhmmss, which orders as the dates do; -1 for any
// other text.
qint64 dateKey(QStringView text);

// A key whose plain order is the order people expect of texts: letters without regard to case,
// and runs of digits by their value, so that "Client 9" comes before "Client 10" and a column of
// numbers sorts as numbers. Made once per row, so that a sort compares plain code units; appended
// to `keys`, where the keys of a whole column lie one after another.
void appendSortKey(QStringView text, std::u16string& keys);

} // namespace cellorder
