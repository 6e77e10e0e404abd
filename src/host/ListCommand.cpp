#include "host/ListCommand.h"

#include "component/Module1.h"
#include "custody/TokenCustody.h"
#include "custody/TokenOut.h"
#include "host/HostSession.h"
#include "host/SharedOptions.h"
#include "listing/CertGrid.h"
#include "platform/Db.h"
#include "platform/Error.h"
#include "store/CertRows.h"
#include "store/ListExport.h"
#include "store/ListOutput.h"
#include "store/RecordLayout.h"

#include <algorithm>
#include <cstdio>
#include <QDir>

namespace {
std::unique_ptr<ListOutput> outputFor(const HostOptions& options, QTextStream& out) {
    if (options.json)
        return std::make_unique<JsonOutput>(out);
    if (options.csv || options.csvRaw)
        return std::make_unique<CsvOutput>(out, options.csvRaw, !options.noBom);
    return std::make_unique<TabOutput>(out);
}

CertRows::Selection listSelection(const HostOptions& options, ClsMain& component, kyt::Db& db) {
    const QDateTime now = component.services().clock->now();
    if (options.tokenOut)
        return custody::outSelection(db, now, options.tokenOutDays);
    switch (options.filter) {
    case HostOptions::Filter::All:
        return CertRows::select(CertRows::Filter::All, now, 0);
    case HostOptions::Filter::Expired:
        return CertRows::select(CertRows::Filter::Expired, now, 0);
    case HostOptions::Filter::Expiring:
        break;
    }
    const QString days = options.expiringDays.value_or(
        component.GetSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCDays"), QStringLiteral("0")));
    return CertRows::select(CertRows::Filter::Expiring, now, Val(days));
}

// The columns --token-out adds after the record's: with whom the token is, and since when.
const QStringList kTokenHeadings = {QStringLiteral("Token With"), QStringLiteral("Since")};

QStringList listHeadings(const HostOptions& options) {
    QStringList headings = CertListModel::headings();
    headings.removeAt(RecordLayout::kRecordNumberColumn); // hidden in the window
    return options.tokenOut ? headings + kTokenHeadings : headings;
}

// The token columns of each listed record, as UTF-8 cells.
class TokenCells {
public:
    TokenCells(const HostOptions& options, kyt::Db& db) {
        if (!options.tokenOut || !custody::tableExists(db))
            return;
        held_ = custody::currentOfAll(db);
    }
    // Fills the two cells after the record's, for the record whose fields these are.
    void fill(const CertRows::Utf8Fields& fields, std::span<QByteArrayView> cells) {
        const auto found = held_.constFind(fields[RecordLayout::SrNo].toByteArray().toInt());
        with_ = found == held_.constEnd()
                    ? QByteArray()
                    : custody::describe(found->with, QString::fromUtf8(fields[RecordLayout::Nm])).toUtf8();
        since_ = found == held_.constEnd() ? QByteArray() : found->since.toUtf8();
        cells[0] = with_;
        cells[1] = since_;
    }

private:
    QHash<int, custody::Held> held_;
    QByteArray with_, since_;
};

// A workbook written to the file --xlsx names, or why it could not be.
int writeWorkbook(const HostOptions& options, Console& console,
                  const std::function<void(const listexport::RowSink&)>& rows) {
    const QString file = QDir(QDir::currentPath()).absoluteFilePath(options.xlsxFile);
    std::vector<listexport::Kind> kinds = listexport::listKinds();
    if (options.tokenOut)
        kinds.insert(kinds.end(), {listexport::Kind::Text, listexport::Kind::Date});
    const QString failure = listexport::write(file, listHeadings(options), kinds, rows);
    if (failure.isEmpty())
        return 0;
    console.err << failure << '\n';
    console.err.flush();
    return 2;
}

// The list that did not reach its file or pipe fails the command: a script must not read a part
// list as the whole one.
int finishList(ListOutput& output, Console& console) {
    output.end();
    return output.flush() ? 0 : console.unwritten(QStringLiteral("the list"));
}
} // namespace

ListCommand::ListCommand()
    : SessionCommand(
          {QStringLiteral("list"),
           QStringLiteral("  dscmgr list [--expired | --expiring [DAYS] | --token-out [DAYS]]\n"
                          "              [--csv | --csv-raw | --json | --xlsx FILE]\n"
                          "              [--no-bom] [--folder DIR] [--db ADDRESS]\n"),
           QStringLiteral("Writes the register's list, one line per certificate, as the window shows it."),
           {QStringLiteral("--csv marks cells a spreadsheet would run as formulas with a leading ' and starts with a\n"
                           "UTF-8 byte-order mark (--no-bom leaves it out); --csv-raw writes the cells as stored.\n"
                           "--xlsx writes a workbook to FILE: dates as dates, every other cell as text as shown.\n"),
            QStringLiteral("--token-out lists the certificates whose signing token is out of the office, with whom\n"
                           "and since when; with DAYS, only those out for more than DAYS days.\n")}}) {}

QList<CommandOption> ListCommand::options() const {
    const CommandOption tokenOut{
        QCommandLineOption(QStringLiteral("token-out"),
                           QStringLiteral("only the certificates whose token is out of the office (for more than "
                                          "DAYS days)"),
                           QStringLiteral("DAYS")),
        [](const QString& days, HostOptions& o) {
            o.tokenOut = true;
            if (days.isEmpty())
                return QString();
            bool ok = false;
            const int n = days.toInt(&ok);
            if (!ok || n < 0)
                return QStringLiteral("--token-out takes a whole number of days, not \"%1\".").arg(days);
            o.tokenOutDays = n;
            return QString();
        },
        true};
    return sharedoption::registerPlace() + sharedoption::listFilter() + QList<CommandOption>{tokenOut} +
           QList<CommandOption>{flagOption(QStringLiteral("csv"), QStringLiteral("CSV, safe to open in a spreadsheet"),
                                           &HostOptions::csv),
                                flagOption(QStringLiteral("csv-raw"), QStringLiteral("CSV with the cells as stored"),
                                           &HostOptions::csvRaw),
                                flagOption(QStringLiteral("no-bom"), QStringLiteral("CSV without the byte-order mark"),
                                           &HostOptions::noBom),
                                sharedoption::json(QStringLiteral("a JSON array of objects keyed by the headings")),
                                textOption(QStringLiteral("xlsx"), QStringLiteral("FILE"),
                                           QStringLiteral("a workbook for a spreadsheet, written to FILE"),
                                           &HostOptions::xlsxFile)};
}

QString ListCommand::check(const HostOptions& options) const {
    if (options.tokenOut && options.filter != HostOptions::Filter::All)
        return QStringLiteral("Choose one of --expired, --expiring and --token-out.");
    if (int(options.csv) + int(options.csvRaw) + int(options.json) + int(!options.xlsxFile.isEmpty()) > 1)
        return QStringLiteral("Choose one of --csv, --csv-raw, --json and --xlsx.");
    return {};
}

// A register the window has never made holds nothing: the list is the headings alone.
int ListCommand::run(const HostOptions& options, Console& console) const {
    if (!noRegisterYet(options, console.err))
        return SessionCommand::run(options, console);
    if (!options.xlsxFile.isEmpty())
        return writeWorkbook(options, console, [](const listexport::RowSink&) {});
    const std::unique_ptr<ListOutput> output = outputFor(options, console.out);
    output->begin(listHeadings(options));
    return finishList(*output, console);
}

// The rows go out as they are read, from the statement the window's list runs: nothing is held but
// the row at hand, and no widget is made.
int ListCommand::runIn(HostSession& session, Console& console) const {
    ClsMain& component = session.componentOnRegister();
    // The running number, the fields after SrNo, then the token's columns when asked for.
    const size_t extra = session.options().tokenOut ? size_t(kTokenHeadings.size()) : 0;
    std::vector<QByteArrayView> cells(CertRows::kFields + extra);
    if (!session.options().xlsxFile.isEmpty()) {
        char numberText[16];
        int number = 0;
        kyt::ErrorTrap trap(&component, QStringLiteral("frmDscMain"), QStringLiteral("LOADGRID"));
        const int written = writeWorkbook(session.options(), console, [&](const listexport::RowSink& sink) {
            trap([&] {
                const CertRows::Selection selection = listSelection(session.options(), component, *session.db());
                TokenCells tokens(session.options(), *session.db());
                CertRows::readUtf8(*session.db(), selection.sql, [&](const CertRows::Utf8Fields& fields) {
                    cells[0] = QByteArrayView(numberText, std::snprintf(numberText, sizeof numberText, "%d", ++number));
                    std::copy(fields.begin() + RecordLayout::Nm, fields.end(), cells.begin() + 1);
                    if (extra > 0)
                        tokens.fill(fields, std::span<QByteArrayView>(cells).subspan(CertRows::kFields));
                    sink(std::span<const QByteArrayView>(cells));
                });
            });
        });
        return session.reportUnreadable(console.err) ? 2 : written;
    }
    const std::unique_ptr<ListOutput> output = outputFor(session.options(), console.out);
    const QStringList headings = listHeadings(session.options());
    // The headings wait for the first row, so that a register failing at once prints nothing.
    bool begun = false;
    int number = 0;
    char numberText[16];
    kyt::ErrorTrap trap(&component, QStringLiteral("frmDscMain"), QStringLiteral("LOADGRID"));
    trap([&] {
        const CertRows::Selection selection = listSelection(session.options(), component, *session.db());
        TokenCells tokens(session.options(), *session.db());
        CertRows::readUtf8(*session.db(), selection.sql, [&](const CertRows::Utf8Fields& fields) {
            if (!begun) {
                // The first row comes once all are read and sorted; the file's check has ended by then.
                if (const QString damage = session.db()->damage(); !damage.isEmpty())
                    kyt::raise(kyt::errnum::Database, damage, QStringLiteral("KYTDscMgr.Db (QSQLITE)"));
                output->begin(headings);
                begun = true;
            }
            cells[0] = QByteArrayView(numberText, std::snprintf(numberText, sizeof numberText, "%d", ++number));
            std::copy(fields.begin() + RecordLayout::Nm, fields.end(), cells.begin() + 1);
            if (extra > 0)
                tokens.fill(fields, std::span<QByteArrayView>(cells).subspan(CertRows::kFields));
            output->row(std::span<const QByteArrayView>(cells));
        });
    });
    if (session.reportUnreadable(console.err))
        return 2;
    if (!begun)
        output->begin(headings);
    return finishList(*output, console);
}
