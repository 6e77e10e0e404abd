#pragma once

#include <QString>

// Cells of a CSV file that people open in a spreadsheet. A spreadsheet runs a cell that starts like
// a formula, also when it starts with a look-alike sign or with blanks the eye does not see; such a
// cell is written with a leading "'", which the spreadsheet shows as text.
namespace csvcell {

// Whether a spreadsheet would take the cell for a formula: it starts, after any blanks (ordinary,
// no-break or zero-width), with "=", "@", "|" or "+"/"-" not followed by a number, or with their
// full-width forms; or it starts with a TAB or CR.
bool runsAsFormula(const QString& text);

// One cell as written: unless `raw`, control characters other than TAB, CR and LF become blanks and
// a cell runsAsFormula gets a leading "'"; then quoted (RFC 4180) when it holds a comma, a quote or
// a line break.
QString field(const QString& text, bool raw);

} // namespace csvcell
