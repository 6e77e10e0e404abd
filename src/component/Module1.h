#pragma once

// Shared procedures of the component.

#include "platform/ObjectRegistry.h"

#include <memory>
#include <QString>
#include <QStringList>
#include <QVariantList>

class ClsMain;

// The report object InitMe creates; the print preview uses it. Lives as long as the component.
kyt::ObjectRef& ReportObj();

// Adds one row to the table of the report object: exactly one "WriteToReport" call, its arguments
// in the order cells, widths, alignments, the two text arrays, the four flag texts, lastFlag.
// No trap of its own: a failure reaches the caller's.
void WriteTableRow(QVariantList& cells, QVariantList& widths, QVariantList& alignments, QStringList& texts1,
                   QStringList& texts2, bool& lastFlag, QString& flagsA, QString& flagsB, QString& flagsC,
                   QString& flagsD);

// "DD/MM/YYYY" or "DD/MM/YYYY HH:MM:SS" -> "YYYY-MM-DD HH:MM:SS", by character position; any
// other length gives the empty text.
QString FormatDbDate(const QString& s);

// Doubles every single quote, so the text can stand between quotes in a statement.
QString QuoteSql(const QString& s);

// The numeric value of a text as the register reads numbers: blanks skipped, then the leading
// number (sign, digits, a point and decimals, an exponent); 0 when there is none.
double Val(const QString& s);

// Rounds a half to the even neighbour, as integer conversion of settings does.
int RoundHalfEven(double v);

// The date-and-time text the register shows and stores: "DD/MM/YYYY HH:MM:SS".
QString FormatDisplayDate(const class QDateTime& dt);

bool IsValidEmail(const QString& s);

// The folder picker, owned by `owner`: the chosen folder's path, or "" when nothing was chosen.
QString BrowseFolder(ClsMain& ClsObj, class QWidget* owner);

// Certificate component loader.
void CreateCertObject(ClsMain& ClsObj);
void RegisterCertComponent(ClsMain& ClsObj);
bool IsDotNetInstalled(ClsMain& ClsObj);
