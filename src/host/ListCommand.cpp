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
#include "store/RenewalQueue.h"
#include "store/Renewals.h"

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

constexpr int kDefaultQueueDays = 30;

// The columns --token-out adds after the record's: with whom the token is, and since when.
const QStringList kTokenHeadings = {QStringLiteral("Token With"), QStringLiteral("Since")};

bool isQueue(const HostOptions& options) {
    return options.filter == HostOptions::Filter::Due || options.filter == HostOptions::Filter::RecentlyExpired;
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
    case HostOptions::Filter::Due:
    case HostOptions::Filter::RecentlyExpired:
        return RenewalQueue::select(options.filter == HostOptions::Filter::Due ? RenewalQueue::View::Due
                                                                               : RenewalQueue::View::RecentlyExpired,
                                    now, Val(options.queueDays.value_or(QString::number(kDefaultQueueDays))));
    case HostOptions::Filter::Expiring:
        break;
    }
    const QString days = options.expiringDays.value_or(
        component.GetSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCDays"), QStringLiteral("0")));
    return CertRows::select(CertRows::Filter::Expiring, now, Val(days));
}

QStringList listHeadings(const HostOptions& options) {
    QStringList headings = CertListModel::headings();
    headings.removeAt(RecordLayout::kRecordNumberColumn); // hidden in the window
    if (isQueue(options))
        headings << RenewalQueue::viewHeadings();
    if (options.tokenOut)
        headings << kTokenHeadings;
    return headings;
}

// The token columns of each listed record, as UTF-8 cells.
class TokenCells {
public:
    TokenCells(const HostOptions& options, kyt::Db& db) {
        if (options.tokenOut && custody::tableExists(db))
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

// What each column holds, for a workbook: the queue's days left are a number, when a holder was
// last reminded a date.
std::vector<listexport::Kind> listKinds(const HostOptions& options) {
    std::vector<listexport::Kind> kinds = listexport::listKinds();
    if (isQueue(options))
        for (const listexport::Kind kind : RenewalQueue::viewKinds())
            kinds.push_back(kind);
    if (options.tokenOut)
        kinds.insert(kinds.end(), {listexport::Kind::Text, listexport::Kind::Date});
    return kinds;
}

// A workbook written to the file --xlsx names, or why it could not be.
int writeWorkbook(const HostOptions& options, Console& console,
                  const std::function<void(const listexport::RowSink&)>& rows) {
    const QString file = QDir(QDir::currentPath()).absoluteFilePath(options.xlsxFile);
    const QString failure = listexport::write(file, listHeadings(options), listKinds(options), rows);
    if (failure.isEmpty())
        return 0;
    console.err << failure << '\n';
    console.err.flush();
    return 2;
}

// The queue's own options: which view, and its days.
CommandOption queueOption(const QString& name, HostOptions::Filter filter, const QString& description) {
    return {QCommandLineOption(name, description, QStringLiteral("DAYS")),
            [name, filter](const QString& days, HostOptions& o) {
                o.filter = filter;
                if (days.isEmpty())
                    return QString();
                bool ok = false;
                if (days.toInt(&ok) < 0 || !ok)
                    return QStringLiteral("--%1 takes a whole number of days, not \"%2\".").arg(name, days);
                o.queueDays = days;
                return QString();
            },
            true};
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
           QStringLiteral("  dscmgr list [--expired | --expiring [DAYS] | --due [DAYS] | --recently-expired [DAYS]\n"
                          "              | --token-out [DAYS]]\n"
                          "              [--csv | --csv-raw | --json | --xlsx FILE] [--no-bom] [--folder DIR]\n"
                          "              [--db ADDRESS]\n"),
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
           QList<CommandOption>{queueOption(QStringLiteral("due"), HostOptions::Filter::Due,
                                            QStringLiteral("the renewal queue: not expired, valid to within DAYS days "
                                                           "(default 30), not renewed; soonest first")),
                                queueOption(QStringLiteral("recently-expired"), HostOptions::Filter::RecentlyExpired,
                                            QStringLiteral("expired within the last DAYS days (default 30) and not "
                                                           "renewed")),
                                flagOption(QStringLiteral("csv"), QStringLiteral("CSV, safe to open in a spreadsheet"),
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
        return QStringLiteral("Choose one of the filters and --token-out.");
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
namespace {
// Hands each row of the list to `row` as its cells: the running number, the fields after SrNo, then
// the queue's own columns. `first` runs before the first row, once all are read and sorted.
void eachListRow(HostSession& session, ClsMain& component, const std::function<void()>& first,
                 const std::function<void(std::span<const QByteArrayView>)>& row) {
    const HostOptions& options = session.options();
    const bool queue = isQueue(options);
    TokenCells tokens(options, *session.db());
    static_assert(RenewalQueue::kViewColumns == 2, "the token columns take the queue's two places");
    QHash<int, QString> reminded;
    const QDate today = component.services().clock->now().date();
    QByteArray daysLeft, lastReminded;
    bool begun = false;
    int number = 0;
    std::array<QByteArrayView, CertRows::kFields + RenewalQueue::kViewColumns> cells;
    const size_t shownCells = queue || options.tokenOut ? cells.size() : size_t(CertRows::kFields);
    char numberText[16];
    const CertRows::Selection selection = listSelection(options, component, *session.db());
    QSet<int> renewed;
    if (queue) {
        reminded = RenewalQueue::lastReminded(*session.db());
        renewed = Renewals::renewedRecords(*session.db());
    }
    CertRows::readUtf8(*session.db(), selection.sql, [&](const CertRows::Utf8Fields& fields) {
        const int srNo =
            queue ? QByteArray(fields[RecordLayout::SrNo].data(), fields[RecordLayout::SrNo].size()).toInt() : 0;
        if (renewed.contains(srNo))
            return;
        if (!begun) {
            first();
            begun = true;
        }
        cells[0] = QByteArrayView(numberText, std::snprintf(numberText, sizeof numberText, "%d", ++number));
        std::copy(fields.begin() + RecordLayout::Nm, fields.end(), cells.begin() + 1);
        if (queue) {
            daysLeft = RenewalQueue::daysLeft(today, QString::fromUtf8(fields[RecordLayout::DtTo])).toUtf8();
            lastReminded = reminded.value(srNo).toUtf8();
            cells[CertRows::kFields] = daysLeft;
            cells[CertRows::kFields + 1] = lastReminded;
        }
        if (options.tokenOut)
            tokens.fill(fields, std::span<QByteArrayView>(cells).subspan(CertRows::kFields));
        row(std::span<const QByteArrayView>(cells.data(), shownCells));
    });
}
} // namespace

// The rows go out as they are read, from the statement the window's list runs: nothing is held but
// the row at hand, and no widget is made.
int ListCommand::runIn(HostSession& session, Console& console) const {
    ClsMain& component = session.componentOnRegister();
    const HostOptions& options = session.options();
    kyt::ErrorTrap trap(&component, QStringLiteral("frmDscMain"), QStringLiteral("LOADGRID"));
    if (!options.xlsxFile.isEmpty()) {
        const int written = writeWorkbook(options, console, [&](const listexport::RowSink& sink) {
            trap([&] {
                eachListRow(
                    session, component, [] {}, sink);
            });
        });
        return session.reportUnreadable(console.err) ? 2 : written;
    }
    const std::unique_ptr<ListOutput> output = outputFor(options, console.out);
    const QStringList headings = listHeadings(options);
    // The headings wait for the first row, so that a register failing at once prints nothing.
    bool begun = false;
    trap([&] {
        eachListRow(
            session, component,
            [&] {
                // The file's check has ended once the first row comes.
                if (const QString damage = session.db()->damage(); !damage.isEmpty())
                    kyt::raise(kyt::errnum::Database, damage, QStringLiteral("KYTDscMgr.Db (QSQLITE)"));
                output->begin(headings);
                begun = true;
            },
            [&](std::span<const QByteArrayView> cells) { output->row(cells); });
    });
    if (session.reportUnreadable(console.err))
        return 2;
    if (!begun)
        output->begin(headings);
    return finishList(*output, console);
}
