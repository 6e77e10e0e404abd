#include "host/LinkCommand.h"

#include "host/HostSession.h"
#include "host/SharedOptions.h"
#include "platform/Db.h"
#include "store/Renewals.h"

namespace {
// The two arguments OLD and NEW, record numbers.
QString takeRecordNumbers(const QString& command, const QStringList& arguments, HostOptions& options) {
    if (arguments.size() != 2)
        return QStringLiteral("%1 needs two record numbers: OLD NEW.").arg(command);
    for (const QString& a : arguments) {
        bool ok = false;
        if (a.toInt(&ok) < 1 || !ok)
            return QStringLiteral("%1 takes record numbers (Sr. No.), not \"%2\".").arg(command, a);
    }
    options.oldSrNo = arguments[0].toInt();
    options.newSrNo = arguments[1].toInt();
    return {};
}

// Runs one change on the register: its answer, or 2 with a line on stderr when it failed.
template <typename Change> int changeRegister(HostSession& session, Console& console, Change change) {
    try {
        Renewals::ensureTable(*session.db(), Renewals::thisDesk());
        return change(*session.db());
    } catch (const kyt::Error& e) {
        console.err << "dscmgr: the register was not changed: " << kyt::Db::whyNotWritten(e.record()) << " ("
                    << e.record().description.simplified() << ")\n";
        return 2;
    }
}
} // namespace

LinkCommand::LinkCommand()
    : SessionCommand({QStringLiteral("link"),
                      QStringLiteral("  dscmgr link OLD NEW [--folder DIR] [--db ADDRESS]\n"),
                      QStringLiteral("Records that certificate NEW renews certificate OLD (record numbers, Sr. No.)."),
                      {}}) {}

QList<CommandOption> LinkCommand::options() const {
    return sharedoption::registerPlace();
}

QString LinkCommand::takeArguments(const QStringList& arguments, HostOptions& options) const {
    return takeRecordNumbers(QStringLiteral("link"), arguments, options);
}

int LinkCommand::runIn(HostSession& session, Console& console) const {
    const int oldSrNo = session.options().oldSrNo;
    const int newSrNo = session.options().newSrNo;
    return changeRegister(session, console, [&](kyt::Db& db) {
        Renewals::Link other;
        switch (Renewals::link(db, oldSrNo, newSrNo, Renewals::thisDesk(), &other)) {
        case Renewals::LinkResult::Linked:
            console.out << "Sr. No. " << newSrNo << " renews Sr. No. " << oldSrNo << ".\n";
            return 0;
        case Renewals::LinkResult::AlreadyLinked:
            console.out << "Sr. No. " << newSrNo << " renews Sr. No. " << oldSrNo << " already.\n";
            return 0;
        case Renewals::LinkResult::SameRecord:
            console.err << "dscmgr: a certificate cannot renew itself.\n";
            return 1;
        case Renewals::LinkResult::NoSuchRecord:
            console.err << "dscmgr: the register has no certificate with Sr. No. "
                        << (Renewals::readIssue(db, oldSrNo) ? newSrNo : oldSrNo) << ".\n";
            return 1;
        case Renewals::LinkResult::OldAlreadyRenewed:
        case Renewals::LinkResult::NewAlreadyRenews:
            break;
        }
        console.err << "dscmgr: Sr. No. " << other.oldSrNo << " is renewed by Sr. No. " << other.newSrNo
                    << " already; unlink that first (dscmgr unlink " << other.oldSrNo << ' ' << other.newSrNo << ").\n";
        return 1;
    });
}

UnlinkCommand::UnlinkCommand()
    : SessionCommand({QStringLiteral("unlink"),
                      QStringLiteral("  dscmgr unlink OLD NEW [--folder DIR] [--db ADDRESS]\n"),
                      QStringLiteral("Removes the record that certificate NEW renews certificate OLD."),
                      {}}) {}

QList<CommandOption> UnlinkCommand::options() const {
    return sharedoption::registerPlace();
}

QString UnlinkCommand::takeArguments(const QStringList& arguments, HostOptions& options) const {
    return takeRecordNumbers(QStringLiteral("unlink"), arguments, options);
}

int UnlinkCommand::runIn(HostSession& session, Console& console) const {
    const int oldSrNo = session.options().oldSrNo;
    const int newSrNo = session.options().newSrNo;
    return changeRegister(session, console, [&](kyt::Db& db) {
        if (!Renewals::unlink(db, oldSrNo, newSrNo)) {
            console.err << "dscmgr: Sr. No. " << oldSrNo << " is not linked to Sr. No. " << newSrNo << ".\n";
            return 1;
        }
        console.out << "Sr. No. " << newSrNo << " no longer renews Sr. No. " << oldSrNo << ".\n";
        return 0;
    });
}
