#pragma once

#include <QTextStream>

class HostSession;
class CertGrid;

// `dscmgr list`: the rows the register's list shows under the chosen filter. Exit status 0; 2 with
// one line on `err` when the register cannot be read.
int runListCommand(HostSession& session, QTextStream& out, QTextStream& err);
// `dscmgr check`: the start-up check without a window. Exit status 1 when something is listed, 2
// as for the list.
int runCheckCommand(HostSession& session, QTextStream& out, QTextStream& err);
// The heading line of the visible columns and one line per row, TAB-separated.
void printList(const CertGrid& grid, QTextStream& out);
