#pragma once

#include <QTextStream>

class HostSession;
struct HostOptions;
class CertGrid;
class frmDscMain;

// The register window, not shown, its list filled under the command line's filter: the commands
// read the list the window would show. Close it with Unload().
frmDscMain* openFilteredList(HostSession& session);
// A register that could not be read in full: its first error as one line on `err`; true then.
bool reportUnreadable(const HostSession& session, QTextStream& err);
// `dscmgr list`: the rows the register's list shows under the chosen filter, as TAB-separated
// lines, as CSV or as JSON (see ListOutput). Exit status 0; 2 with one line on `err` when the register cannot be read
// or the list cannot be written.
int runListCommand(HostSession& session, QTextStream& out, QTextStream& err);
// The list of a register that holds nothing, in the chosen form: the headings alone. Exit status as
// for the list.
int printEmptyList(const HostOptions& options, QTextStream& out, QTextStream& err);
// `dscmgr check`: the start-up check without a window. Exit status 1 when something is listed, 2
// as for the list. With `notify` the same finding also goes to the desktop as one notice.
int runCheckCommand(HostSession& session, QTextStream& out, QTextStream& err, bool notify);
// The notice's text: "3 certificates expire within 30 days".
QString expiryNotice(int certificates, const QString& days);
// The heading line of the visible columns and one line per row, TAB-separated.
void printList(const CertGrid& grid, QTextStream& out);
