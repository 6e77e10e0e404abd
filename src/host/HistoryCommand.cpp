#include "host/HistoryCommand.h"

#include "host/HostSession.h"
#include "host/SharedOptions.h"
#include "platform/Db.h"
#include "platform/ShownText.h"
#include "store/DeletedRecords.h"
#include "store/RecordHistory.h"
#include "store/StoreStatements.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>

namespace {
// A record number as typed: decimal digits, 1 or more.
QString takeRecordNumber(const QStringList& arguments, HostOptions& options, bool required) {
    if (arguments.size() > 1)
        return QStringLiteral("Give one Sr. No.");
    if (arguments.isEmpty())
        return required ? QStringLiteral("Give the Sr. No. of the deleted record.") : QString();
    bool ok = false;
    const int n = arguments[0].toInt(&ok);
    if (!ok || n < 1)
        return QStringLiteral("\"%1\" is no Sr. No.").arg(arguments[0]);
    options.srNo = n;
    return {};
}

bool historyTableExists(kyt::Db& db) {
    for (const QString& table : db.connection().tables())
        if (table.compare(QLatin1String("DscHistory"), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}
} // namespace

HistoryCommand::HistoryCommand()
    : SessionCommand({QStringLiteral("history"),
                      QStringLiteral("  dscmgr history [SRNO] [--since DATE] [--json] [--folder DIR] [--db ADDRESS]\n"),
                      QStringLiteral("Prints the register's history, newest first: when, which desk and user, what "
                                     "was done, and the fields each change changed (old -> new)."),
                      {}}) {}

QList<CommandOption> HistoryCommand::options() const {
    const CommandOption since{QCommandLineOption(QStringLiteral("since"),
                                                 QStringLiteral("only the changes from DATE on (YYYY-MM-DD or "
                                                                "DD/MM/YYYY)"),
                                                 QStringLiteral("DATE")),
                              [](const QString& value, HostOptions& o) {
                                  QDate d = QDate::fromString(value.trimmed(), QStringLiteral("yyyy-MM-dd"));
                                  if (!d.isValid())
                                      d = QDate::fromString(value.trimmed(), QStringLiteral("dd/MM/yyyy"));
                                  if (!d.isValid())
                                      return QStringLiteral("--since needs a date as YYYY-MM-DD or DD/MM/YYYY.");
                                  o.since = d.toString(QStringLiteral("yyyy-MM-dd"));
                                  return QString();
                              }};
    return sharedoption::registerPlace() +
           QList<CommandOption>{since, sharedoption::json(QStringLiteral("one JSON array of the entries"))};
}

QString HistoryCommand::takeArguments(const QStringList& arguments, HostOptions& options) const {
    return takeRecordNumber(arguments, options, false);
}

int HistoryCommand::runIn(HostSession& session, Console& console) const {
    const HostOptions& options = session.options();
    QList<RecordHistory::Entry> entries;
    try {
        if (historyTableExists(*session.db()))
            entries = RecordHistory::entries(*session.db(), options.srNo, options.since);
    } catch (const kyt::Error& e) {
        console.err << "dscmgr: the history cannot be read: " << e.record().description.simplified() << '\n';
        return 2;
    }
    if (options.json) {
        QJsonArray all;
        for (const RecordHistory::Entry& e : entries)
            all.append(RecordHistory::toJson(e));
        console.out << QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Indented));
    } else {
        for (const RecordHistory::Entry& e : entries) {
            console.out << e.at << '\t' << RecordHistory::changeName(e.change) << "\tSr. No. " << e.srNo << '\t'
                        << shown::terminalCell(e.host) << '\t' << shown::terminalCell(e.login) << '\n';
            for (const RecordHistory::FieldChange& c : RecordHistory::changes(e))
                console.out << "    " << c.field << ": " << shown::terminalCell(c.before) << QStringLiteral(" \u2192 ")
                            << shown::terminalCell(c.after) << '\n';
        }
    }
    return console.delivered() ? 0 : console.unwritten(QStringLiteral("the history"));
}

RestoreDeletedCommand::RestoreDeletedCommand()
    : SessionCommand({QStringLiteral("restore-deleted"),
                      QStringLiteral("  dscmgr restore-deleted SRNO [--folder DIR] [--db ADDRESS]\n"),
                      QStringLiteral("Brings back the record last deleted under SRNO, with its proof documents: "
                                     "under SRNO when it is free, else under a new number, which it names."),
                      {}}) {}

QList<CommandOption> RestoreDeletedCommand::options() const {
    return sharedoption::registerPlace();
}

QString RestoreDeletedCommand::takeArguments(const QStringList& arguments, HostOptions& options) const {
    return takeRecordNumber(arguments, options, true);
}

QString RestoreDeletedCommand::check(const HostOptions& options) const {
    return options.srNo > 0 ? QString() : QStringLiteral("Give the Sr. No. of the deleted record.");
}

int RestoreDeletedCommand::runIn(HostSession& session, Console& console) const {
    kyt::Db& db = *session.db();
    try {
        db.execute(StoreStatements::createTable());
        RecordHistory::ensureTable(db);
        const std::optional<RecordHistory::Entry> deleted = RecordHistory::lastDelete(db, session.options().srNo);
        if (!deleted) {
            console.err << "dscmgr: no deleted record with Sr. No. " << session.options().srNo
                        << " is waiting in the history.\n";
            return 2;
        }
        const DeletedRecords::RestoreResult result = DeletedRecords::restore(db, session.folder(), *deleted);
        if (!result.restored) {
            console.err << "dscmgr: the record was not restored: " << DeletedRecords::refusedText(deleted->srNo, result)
                        << ".\n";
            return 2;
        }
        console.out << DeletedRecords::restoredText(deleted->srNo, result.srNo) << '\n';
        if (!result.documentsError.isEmpty()) {
            console.err << "dscmgr: its documents could not all be put back: " << result.documentsError << '\n';
            return 1;
        }
    } catch (const kyt::Error& e) {
        console.err << "dscmgr: the record was not restored: " << kyt::Db::whyNotWritten(e.record()) << '\n';
        return 2;
    }
    return console.delivered() ? 0 : console.unwritten(QStringLiteral("the result"));
}
