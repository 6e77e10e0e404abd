#include "host/ImportCommand.h"

#include "custody/TokenCustody.h"
#include "host/CertAccess.h"
#include "host/HostSession.h"
#include "host/SharedOptions.h"
#include "host/TerminalProgress.h"
#include "platform/ShownText.h"
#include "store/BulkImporter.h"
#include "store/BulkReader.h"
#include "store/RegisterCheck.h"
#include "store/StoreStatements.h"

#include <QFileInfo>
#include <QSet>

namespace {
const QString kModule = QStringLiteral("frmbulkdsc");

// The files to read, as the wizard's file list would hold them: each file once (two paths are
// one entry only when they name the same file), a folder giving the entries directly in it.
QStringList collectFiles(const QStringList& paths) {
    QStringList files;
    QSet<QString> seen;
    auto add = [&](const QString& path) {
        const QString identity = bulk::FileIdentity(path);
        if (!seen.contains(identity)) {
            seen.insert(identity);
            files << path;
        }
    };
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            for (const QString& file : bulk::FolderFiles(info.absoluteFilePath()))
                add(file);
        } else {
            add(info.absoluteFilePath());
        }
    }
    return files;
}

// Makes sure the table and its serial number index exist, as the register window does, and that
// the register can be read in full before anything is written into it. "Flush Tables" needs a
// right that importing does not: when it fails it is logged and the import goes on.
bool prepareStore(ClsMain& component, kyt::Db& db, QTextStream& err) {
    // An existing table is left as it is; a damaged one is found before an index is built on it.
    try {
        db.execute(StoreStatements::createTable());
        if (const QString why = WhyRegisterUnreadable(db); !why.isEmpty()) {
            err << "dscmgr: the register cannot be read, so nothing was imported: " << why << '\n';
            return false;
        }
        for (const QString& index : StoreStatements::createIndexes())
            db.execute(index);
    } catch (const kyt::Error& e) {
        err << "dscmgr: the register table cannot be prepared: " << e.record().description.simplified() << '\n';
        return false;
    }
    kyt::ErrorTrap(&component, kModule,
                   QStringLiteral("IMPORTDETAILS"))([&] { db.execute(StoreStatements::flushTables()); });
    return true;
}
} // namespace

ImportCommand::ImportCommand()
    : SessionCommand(
          {QStringLiteral("import"),
           QStringLiteral("  dscmgr import PATH... [--password P | --password-file FILE] [--type T] [--id-proof T]\n"
                          "                [--addr-proof T] [--carry-over] [--folder DIR] [--db ADDRESS]\n"),
           QStringLiteral("Imports certificate files, and the files directly in each folder named, into the "
                          "register."),
           {}}) {}

QList<CommandOption> ImportCommand::options() const {
    return sharedoption::registerPlace() + sharedoption::certificatePassword() +
           QList<CommandOption>{
               textOption(QStringLiteral("type"), QStringLiteral("T"),
                          QStringLiteral("the type of DSC of every entry (default: each one's own)"),
                          &HostOptions::dscType),
               textOption(QStringLiteral("id-proof"), QStringLiteral("T"),
                          QStringLiteral("the ID proof type of every entry"), &HostOptions::idProofType),
               textOption(QStringLiteral("addr-proof"), QStringLiteral("T"),
                          QStringLiteral("the address proof type of every entry"), &HostOptions::addrProofType),
               flagOption(QStringLiteral("carry-over"),
                          QStringLiteral("a certificate renewing one in the register takes over its holder's contact "
                                         "data, proofs and proof documents"),
                          &HostOptions::carryOver)};
}

QString ImportCommand::takeArguments(const QStringList& arguments, HostOptions& options) const {
    options.importPaths << arguments;
    return {};
}

QString ImportCommand::check(const HostOptions& options) const {
    if (const QString why = sharedoption::passwordGivenOnce(options); !why.isEmpty())
        return why;
    return options.importPaths.isEmpty() ? QStringLiteral("import needs certificate files or folders.") : QString();
}

int ImportCommand::runIn(HostSession& session, Console& console) const {
    QTextStream& out = console.out;
    QTextStream& err = console.err;
    ClsMain& component = session.componentOnRegister();
    const QStringList files = collectFiles(session.options().importPaths);
    const std::optional<QString> password =
        certificatePassword(session.options(), files, QStringLiteral("Password for the certificate files: "), err);
    if (!password || !prepareStore(component, *session.db(), err) || !attachCertObject(component, err))
        return 2;

    std::vector<bulk::ReadResult> rows;
    kyt::ErrorTrap readTrap(&component, kModule, QStringLiteral("GETFILEINFO"));
    TerminalProgress progress(err);
    for (const QString& file : files) {
        progress.show(QStringLiteral("Reading"), rows.size() + 1, files.size());
        rows.push_back(bulk::ReadEntry(component, {file, bulk::kFileKind}, *password, readTrap));
        // The status column keeps its fixed text; why a file could not be read goes to stderr.
        if (!rows.back().reason.isEmpty()) {
            progress.done(); // the line starts clean; the next step draws the progress again
            err << "dscmgr: " << shown::terminalCell(file) << ": " << rows.back().reason << '\n';
        }
    }

    bulk::ImportChoices choices;
    choices.autoType = !session.options().dscType;
    choices.type = session.options().dscType.value_or(QString());
    choices.linkMade = custody::carryOverOnLink();
    choices.idProofType = session.options().idProofType;
    choices.addrProofType = session.options().addrProofType;
    choices.carryOver = session.options().carryOver;
    choices.docPath = component.DocPath;
    kyt::ErrorTrap importTrap(&component, kModule, QStringLiteral("IMPORTDETAILS"));
    bulk::BulkImporter importer(*session.db(), choices, importTrap);
    importer.begin();
    QList<std::array<QString, bulk::kDetailCount>> details;
    for (const bulk::ReadResult& row : rows)
        details << row.details;
    importer.expect(details);
    bool complete = true;
    out << bulk::ResultHeadings().join(QLatin1Char('\t')) << '\n';
    for (size_t i = 0; i < rows.size(); ++i) {
        progress.show(QStringLiteral("Importing"), i + 1, rows.size());
        bulk::ReadResult& row = rows[i];
        row.status = importer.importRow(row.details, row.status);
        // A certificate already in the register is no failure of the run; anything else not stored is.
        complete = complete && (row.status == bulk::kImported || row.status == bulk::kDuplicateSerial);
        // File names and certificate fields may hold anything: each is kept on its line and harmless.
        QStringList cells = {QString::number(i + 1), shown::terminalCell(row.fileName)};
        for (const QString& detail : row.details)
            cells << shown::terminalCell(detail);
        cells << shown::terminalCell(row.status);
        out << cells.join(QLatin1Char('\t')) << '\n';
    }
    progress.done();
    importer.finish();
    out << bulk::TransferSummary(importer.count()) << '\n';
    out.flush();
    if (importer.databaseUnreachable())
        err << "dscmgr: the database cannot be reached, so the import stopped; the entries without a status were "
               "not imported.\n";
    for (const QString& note : importer.notes())
        err << "dscmgr: " << shown::terminalCell(note) << '\n';
    if (importer.failed() > 0)
        err << "dscmgr: " << importer.failed()
            << " of the certificates read were not stored; their status says why (details in the error log "
            << component.logFile() << ").\n";
    return complete ? 0 : 1;
}
