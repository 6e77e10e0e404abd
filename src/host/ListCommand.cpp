#include "host/ListCommand.h"

#include "component/Module1.h"
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

CertRows::Selection listSelection(const HostOptions& options, ClsMain& component) {
    const QDateTime now = component.services().clock->now();
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

QStringList listHeadings() {
    QStringList headings = CertListModel::headings();
    headings.removeAt(RecordLayout::kRecordNumberColumn); // hidden in the window
    return headings;
}

// A workbook written to the file --xlsx names, or why it could not be.
int writeWorkbook(const HostOptions& options, Console& console,
                  const std::function<void(const listexport::RowSink&)>& rows) {
    const QString file = QDir(QDir::currentPath()).absoluteFilePath(options.xlsxFile);
    const QString failure = listexport::write(file, listHeadings(), listexport::listKinds(), rows);
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
           QStringLiteral("  dscmgr list [--expired | --expiring [DAYS]] [--csv | --csv-raw | --json | --xlsx FILE]\n"
                          "              [--no-bom] [--folder DIR] [--db ADDRESS]\n"),
           QStringLiteral("Writes the register's list, one line per certificate, as the window shows it."),
           {QStringLiteral(
               "--csv marks cells a spreadsheet would run as formulas with a leading ' and starts with a\n"
               "UTF-8 byte-order mark (--no-bom leaves it out); --csv-raw writes the cells as stored.\n"
               "--xlsx writes a workbook to FILE: dates as dates, every other cell as text as shown.\n")}}) {}

QList<CommandOption> ListCommand::options() const {
    return sharedoption::registerPlace() + sharedoption::listFilter() +
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
    output->begin(listHeadings());
    return finishList(*output, console);
}

// The rows go out as they are read, from the statement the window's list runs: nothing is held but
// the row at hand, and no widget is made.
int ListCommand::runIn(HostSession& session, Console& console) const {
    ClsMain& component = session.componentOnRegister();
    if (!session.options().xlsxFile.isEmpty()) {
        std::array<QByteArrayView, CertRows::kFields> cells;
        char numberText[16];
        int number = 0;
        kyt::ErrorTrap trap(&component, QStringLiteral("frmDscMain"), QStringLiteral("LOADGRID"));
        const int written = writeWorkbook(session.options(), console, [&](const listexport::RowSink& sink) {
            trap([&] {
                const CertRows::Selection selection = listSelection(session.options(), component);
                CertRows::readUtf8(*session.db(), selection.sql, [&](const CertRows::Utf8Fields& fields) {
                    cells[0] = QByteArrayView(numberText, std::snprintf(numberText, sizeof numberText, "%d", ++number));
                    std::copy(fields.begin() + RecordLayout::Nm, fields.end(), cells.begin() + 1);
                    sink(std::span<const QByteArrayView>(cells));
                });
            });
        });
        return session.reportUnreadable(console.err) ? 2 : written;
    }
    const std::unique_ptr<ListOutput> output = outputFor(session.options(), console.out);
    const QStringList headings = listHeadings();
    // The headings wait for the first row, so that a register failing at once prints nothing.
    bool begun = false;
    int number = 0;
    std::array<QByteArrayView, CertRows::kFields> cells; // the running number, then the fields after SrNo
    char numberText[16];
    kyt::ErrorTrap trap(&component, QStringLiteral("frmDscMain"), QStringLiteral("LOADGRID"));
    trap([&] {
        const CertRows::Selection selection = listSelection(session.options(), component);
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
            output->row(std::span<const QByteArrayView>(cells));
        });
    });
    if (session.reportUnreadable(console.err))
        return 2;
    if (!begun)
        output->begin(headings);
    return finishList(*output, console);
}
