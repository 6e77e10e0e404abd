#include "host/RenewalsCommand.h"

#include "host/HostSession.h"
#include "host/SharedOptions.h"
#include "platform/Error.h"
#include "store/ListOutput.h"
#include "store/Renewals.h"

namespace {
QStringList headings() {
    return {QStringLiteral("Old Sr. No."),    QStringLiteral("Old Serial No."), QStringLiteral("New Sr. No."),
            QStringLiteral("New Serial No."), QStringLiteral("Linked (UTC)"),   QStringLiteral("Desk")};
}

std::unique_ptr<ListOutput> outputFor(const HostOptions& options, QTextStream& out) {
    if (options.json)
        return std::make_unique<JsonOutput>(out);
    return std::make_unique<TabOutput>(out);
}
} // namespace

RenewalsCommand::RenewalsCommand()
    : SessionCommand({QStringLiteral("renewals"),
                      QStringLiteral("  dscmgr renewals [--json] [--folder DIR] [--db ADDRESS]\n"),
                      QStringLiteral("Lists which certificate renews which, by record number (Sr. No.)."),
                      {}}) {}

QList<CommandOption> RenewalsCommand::options() const {
    return sharedoption::registerPlace() << sharedoption::json(QStringLiteral("a JSON array of objects keyed by the "
                                                                              "headings"));
}

// A register the window has never made links nothing: the headings alone.
int RenewalsCommand::run(const HostOptions& options, Console& console) const {
    if (!noRegisterYet(options, console.err))
        return SessionCommand::run(options, console);
    const std::unique_ptr<ListOutput> output = outputFor(options, console.out);
    output->begin(headings());
    output->end();
    return output->flush() ? 0 : console.unwritten(QStringLiteral("the links"));
}

int RenewalsCommand::runIn(HostSession& session, Console& console) const {
    QList<Renewals::Link> links;
    try {
        links = Renewals::links(*session.db());
    } catch (const kyt::Error& e) {
        console.err << "dscmgr: the renewals cannot be read: " << e.record().description.simplified() << '\n';
        return 2;
    }
    const std::unique_ptr<ListOutput> output = outputFor(session.options(), console.out);
    output->begin(headings());
    for (const Renewals::Link& link : links)
        output->row(QStringList{QString::number(link.oldSrNo), link.oldSerial, QString::number(link.newSrNo),
                                link.newSerial, link.linkedAt, link.desk});
    output->end();
    return output->flush() ? 0 : console.unwritten(QStringLiteral("the links"));
}
