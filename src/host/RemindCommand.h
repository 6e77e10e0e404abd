#pragma once

#include <QTextStream>

class HostSession;

// `dscmgr remind`: e-mails the holders whose certificates reach a reminder step, one line per
// reminder on `out`, the summary line last. Exit status 0 when every reminder went, 1 when some
// were skipped or failed, 2 with one line on `err` when the run could not be carried out.
int runRemindCommand(HostSession& session, QTextStream& out, QTextStream& err);
