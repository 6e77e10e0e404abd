#pragma once

#include <QTextStream>

class HostSession;
class CertGrid;

// `dscmgr list`: the rows the register's list shows under the chosen filter. Exit status 0.
int runListCommand(HostSession& session, QTextStream& out);
// `dscmgr check`: the start-up check without a window. Exit status 1 when something is listed.
int runCheckCommand(HostSession& session, QTextStream& out);
// The heading line of the visible columns and one line per row, TAB-separated.
void printList(const CertGrid& grid, QTextStream& out);
