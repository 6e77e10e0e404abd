#include "host/CustodyCommand.h"

#include "custody/TokenCustody.h"
#include "host/HostSession.h"
#include "host/SharedOptions.h"
#include "platform/Db.h"
#include "platform/ShownText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
// The record a movement list is printed for.
struct Shown {
    QString name, serialNo;
};

std::optional<Shown> certificate(kyt::Db& db, int srNo) {
    kyt::RowSet rs = db.openRowSet(QStringLiteral("Select Nm, SerialNo From DscStore Where SrNo=?"), {srNo});
    if (rs.eof())
        return std::nullopt;
    Shown s{rs.text(0), rs.text(1)};
    rs.close();
    return s;
}

QJsonObject toJson(const custody::Movement& m, const QString& holder) {
    return {{QStringLiteral("at"), m.movedAt},
            {QStringLiteral("from"), custody::describe(m.from, holder)},
            {QStringLiteral("to"), custody::describe(m.to, holder)},
            {QStringLiteral("fromName"), m.from.name},
            {QStringLiteral("fromPlace"), m.from.place},
            {QStringLiteral("toName"), m.to.name},
            {QStringLiteral("toPlace"), m.to.place},
            {QStringLiteral("serialNo"), m.serialNo},
            {QStringLiteral("host"), m.host},
            {QStringLiteral("login"), m.login},
            {QStringLiteral("note"), m.note},
            {QStringLiteral("recordedAt"), m.recordedAt}};
}

std::optional<QDateTime> parseAt(const QString& text) {
    for (const char* format : {"dd/MM/yyyy HH:mm:ss", "yyyy-MM-dd HH:mm:ss", "dd/MM/yyyy HH:mm", "yyyy-MM-dd HH:mm"})
        if (const QDateTime at = QDateTime::fromString(text.trimmed(), QLatin1String(format)); at.isValid())
            return at;
    return std::nullopt;
}
} // namespace

CustodyCommand::CustodyCommand()
    : SessionCommand(
          {QStringLiteral("custody"),
           QStringLiteral(
               "  dscmgr custody SRNO [--json] [--folder DIR] [--db ADDRESS]\n"
               "  dscmgr custody out SRNO --to NAME [--note TEXT] [--at TIME] [--folder DIR] [--db ADDRESS]\n"
               "  dscmgr custody in SRNO [--from NAME] [--place TEXT] [--note TEXT] [--at TIME]\n"
               "                [--folder DIR] [--db ADDRESS]\n"),
           QStringLiteral("Where a certificate's signing token is. Without out or in: the token's movements, oldest "
                          "first, and with whom it is now. \"out\" hands it over to NAME (the holder or another "
                          "person); \"in\" takes it back into the office, from NAME (default: whoever has it) to a "
                          "place such as a drawer. Each movement is also written to the history."),
           {QStringLiteral("--at takes \"DD/MM/YYYY HH:MM:SS\" or \"YYYY-MM-DD HH:MM:SS\"; without it the movement "
                           "is\ndated now by the database's clock. A time in the future or before the certificate's "
                           "Valid From\nis refused.\n")}}) {}

QList<CommandOption> CustodyCommand::options() const {
    const CommandOption at{
        QCommandLineOption(QStringLiteral("at"), QStringLiteral("when the token moved (default: now)"),
                           QStringLiteral("TIME")),
        [](const QString& value, HostOptions& o) {
            o.custodyAt = parseAt(value);
            return o.custodyAt ? QString()
                               : QStringLiteral("--at takes a time as DD/MM/YYYY HH:MM:SS, not \"%1\".").arg(value);
        }};
    return sharedoption::registerPlace() +
           QList<CommandOption>{textOption(QStringLiteral("to"), QStringLiteral("NAME"), QStringLiteral("out: to whom"),
                                           &HostOptions::custodyName),
                                textOption(QStringLiteral("from"), QStringLiteral("NAME"),
                                           QStringLiteral("in: from whom"), &HostOptions::custodyName),
                                textOption(QStringLiteral("place"), QStringLiteral("TEXT"),
                                           QStringLiteral("in: where in the office, such as a drawer"),
                                           &HostOptions::custodyPlace),
                                textOption(QStringLiteral("note"), QStringLiteral("TEXT"),
                                           QStringLiteral("a note on the movement"), &HostOptions::custodyNote),
                                at,
                                sharedoption::json(QStringLiteral("the movements as one JSON object"))};
}

QString CustodyCommand::takeArguments(const QStringList& arguments, HostOptions& options) const {
    QStringList rest = arguments;
    if (!rest.isEmpty() && (rest[0] == QLatin1String("out") || rest[0] == QLatin1String("in")))
        options.custodyAction = rest.takeFirst();
    if (rest.isEmpty())
        return QStringLiteral("Give the Sr. No. of the certificate.");
    if (rest.size() > 1)
        return QStringLiteral("Unknown argument \"%1\"; try dscmgr custody --help.").arg(rest[1]);
    bool ok = false;
    const int n = rest[0].toInt(&ok);
    if (!ok || n < 1)
        return QStringLiteral("\"%1\" is no Sr. No.").arg(rest[0]);
    options.srNo = n;
    return {};
}

QString CustodyCommand::check(const HostOptions& o) const {
    const bool moving = !o.custodyAction.isEmpty();
    if (!moving && (o.custodyAt || !o.custodyNote.isEmpty() || !o.custodyPlace.isEmpty() || !o.custodyName.isEmpty()))
        return QStringLiteral("--to, --from, --place, --note and --at go with custody out or custody in.");
    if (moving && o.json)
        return QStringLiteral("--json goes with printing a token's movements only.");
    if (o.custodyAction == QLatin1String("out") && !o.custodyPlace.isEmpty())
        return QStringLiteral("--place goes with custody in: a token handed over leaves the office.");
    return {};
}

int CustodyCommand::run(const HostOptions& options, Console& console) const {
    // Printing the movements leaves the folder and the register as they are.
    HostOptions o = options;
    o.readsOnly = o.custodyAction.isEmpty();
    return SessionCommand::run(o, console);
}

int CustodyCommand::runIn(HostSession& session, Console& console) const {
    return session.options().custodyAction.isEmpty() ? print(session, console) : move(session, console);
}

int CustodyCommand::print(HostSession& session, Console& console) const {
    const HostOptions& o = session.options();
    kyt::Db& db = *session.db();
    std::optional<Shown> record;
    QList<custody::Movement> movements;
    try {
        record = certificate(db, o.srNo);
        if (record && custody::tableExists(db))
            movements = custody::movements(db, o.srNo);
    } catch (const kyt::Error& e) {
        console.err << "dscmgr: the register cannot be read: " << e.record().description.simplified() << '\n';
        return 2;
    }
    if (!record) {
        console.err << "dscmgr: Sr. No. " << o.srNo << " is not in the register.\n";
        return 2;
    }
    const QString with =
        movements.isEmpty() ? custody::kNotRecorded : custody::describe(movements.last().to, record->name);
    if (o.json) {
        QJsonArray all;
        for (const custody::Movement& m : movements)
            all.append(toJson(m, record->name));
        const QJsonObject out{{QStringLiteral("srNo"), o.srNo},
                              {QStringLiteral("name"), record->name},
                              {QStringLiteral("serialNo"), record->serialNo},
                              {QStringLiteral("with"), with},
                              {QStringLiteral("since"), movements.isEmpty() ? QString() : movements.last().movedAt},
                              {QStringLiteral("movements"), all}};
        console.out << QString::fromUtf8(QJsonDocument(out).toJson(QJsonDocument::Indented));
    } else {
        console.out << "Sr. No. " << o.srNo << '\t' << shown::terminalCell(record->name) << '\t'
                    << shown::terminalCell(record->serialNo) << '\t' << "Token with: " << shown::terminalCell(with);
        if (!movements.isEmpty())
            console.out << " since " << movements.last().movedAt;
        console.out << '\n';
        for (const custody::Movement& m : movements)
            console.out << m.movedAt << '\t' << shown::terminalCell(custody::describe(m.from, record->name)) << " -> "
                        << shown::terminalCell(custody::describe(m.to, record->name)) << '\t'
                        << shown::terminalCell(m.host) << '\t' << shown::terminalCell(m.login) << '\t'
                        << shown::terminalCell(m.note) << '\n';
    }
    return console.delivered() ? 0 : console.unwritten(QStringLiteral("the movements"));
}

int CustodyCommand::move(HostSession& session, Console& console) const {
    const HostOptions& o = session.options();
    custody::Request request;
    request.kind =
        o.custodyAction == QLatin1String("out") ? custody::Request::Kind::HandOver : custody::Request::Kind::Receive;
    request.srNo = o.srNo;
    request.name = o.custodyName;
    request.place = o.custodyPlace;
    request.note = o.custodyNote;
    request.at = o.custodyAt;
    custody::Outcome outcome;
    try {
        outcome = custody::record(*session.db(), request);
    } catch (const kyt::Error& e) {
        console.err << "dscmgr: the movement was not recorded: " << kyt::Db::whyNotWritten(e.record()) << '\n';
        return 2;
    }
    if (!outcome.written) {
        console.err << "dscmgr: " << outcome.refusal << " Nothing was recorded.\n";
        return 2;
    }
    const custody::Movement& m = outcome.movement;
    console.out << "Sr. No. " << m.srNo << ": token "
                << (m.to.isOffice() ? QStringLiteral("received into the ") : QStringLiteral("handed over to "))
                << shown::terminalCell(custody::describe(m.to)) << " at " << m.movedAt << ".\n";
    return console.delivered() ? 0 : console.unwritten(QStringLiteral("the result"));
}
