#include "host/ListCommand.h"

#include "component/Module1.h"
#include "host/HostSession.h"
#include "host/ListOutput.h"
#include "host/SharedOptions.h"
#include "listing/CertGrid.h"
#include "store/CertRows.h"
#include "store/RecordLayout.h"
#include "store/RenewalQueue.h"
#include "store/Renewals.h"

#include <algorithm>
#include <cstdio>

namespace {
std::unique_ptr<ListOutput> outputFor(const HostOptions& options, QTextStream& out) {
    if (options.json)
        return std::make_unique<JsonOutput>(out);
    if (options.csv || options.csvRaw)
        return std::make_unique<CsvOutput>(out, options.csvRaw, !options.noBom);
    return std::make_unique<TabOutput>(out);
}

constexpr int kDefaultQueueDays = 30;

bool isQueue(const HostOptions& options) {
    return options.filter == HostOptions::Filter::Due || options.filter == HostOptions::Filter::RecentlyExpired;
}

CertRows::Selection listSelection(const HostOptions& options, ClsMain& component, kyt::Db& db) {
    const QDateTime now = component.services().clock->now();
    switch (options.filter) {
    case HostOptions::Filter::All:
        return CertRows::select(CertRows::Filter::All, now, 0);
    case HostOptions::Filter::Expired:
        return CertRows::select(CertRows::Filter::Expired, now, 0);
    case HostOptions::Filter::Due:
    case HostOptions::Filter::RecentlyExpired:
        return RenewalQueue::select(
            options.filter == HostOptions::Filter::Due ? RenewalQueue::View::Due : RenewalQueue::View::RecentlyExpired,
            now, Val(options.queueDays.value_or(QString::number(kDefaultQueueDays))), Renewals::tableExists(db));
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
    return headings;
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
           QStringLiteral("  dscmgr list [--expired | --expiring [DAYS] | --due [DAYS] | --recently-expired [DAYS]]\n"
                          "              [--csv | --csv-raw | --json] [--no-bom] [--folder DIR] [--db ADDRESS]\n"),
           QStringLiteral("Writes the register's list, one line per certificate, as the window shows it."),
           {QStringLiteral(
               "--csv marks cells a spreadsheet would run as formulas with a leading ' and starts with a\n"
               "UTF-8 byte-order mark (--no-bom leaves it out); --csv-raw writes the cells as stored.\n")}}) {}

QList<CommandOption> ListCommand::options() const {
    return sharedoption::registerPlace() + sharedoption::listFilter() +
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
                                sharedoption::json(QStringLiteral("a JSON array of objects keyed by the headings"))};
}

QString ListCommand::check(const HostOptions& options) const {
    if (int(options.csv) + int(options.csvRaw) + int(options.json) > 1)
        return QStringLiteral("Choose one of --csv, --csv-raw and --json.");
    return {};
}

// A register the window has never made holds nothing: the list is the headings alone.
int ListCommand::run(const HostOptions& options, Console& console) const {
    if (!noRegisterYet(options, console.err))
        return SessionCommand::run(options, console);
    const std::unique_ptr<ListOutput> output = outputFor(options, console.out);
    output->begin(listHeadings(options));
    return finishList(*output, console);
}

// The rows go out as they are read, from the statement the window's list runs: nothing is held but
// the row at hand, and no widget is made.
int ListCommand::runIn(HostSession& session, Console& console) const {
    ClsMain& component = session.componentOnRegister();
    const std::unique_ptr<ListOutput> output = outputFor(session.options(), console.out);
    const HostOptions& options = session.options();
    const QStringList headings = listHeadings(options);
    const bool queue = isQueue(options);
    QHash<int, QString> reminded;
    const QDate today = component.services().clock->now().date();
    QByteArray daysLeft, lastReminded;
    // The headings wait for the first row, so that a register failing at once prints nothing.
    bool begun = false;
    int number = 0;
    // The running number, the fields after SrNo, then the queue's own columns.
    std::array<QByteArrayView, CertRows::kFields + RenewalQueue::kViewColumns> cells;
    const size_t shownCells = queue ? cells.size() : size_t(CertRows::kFields);
    char numberText[16];
    kyt::ErrorTrap trap(&component, QStringLiteral("frmDscMain"), QStringLiteral("LOADGRID"));
    trap([&] {
        const CertRows::Selection selection = listSelection(options, component, *session.db());
        if (queue)
            reminded = RenewalQueue::lastReminded(*session.db());
        CertRows::readUtf8(*session.db(), selection.sql, [&](const CertRows::Utf8Fields& fields) {
            if (!begun) {
                output->begin(headings);
                begun = true;
            }
            cells[0] = QByteArrayView(numberText, std::snprintf(numberText, sizeof numberText, "%d", ++number));
            std::copy(fields.begin() + RecordLayout::Nm, fields.end(), cells.begin() + 1);
            if (queue) {
                daysLeft = RenewalQueue::daysLeft(today, QString::fromUtf8(fields[RecordLayout::DtTo])).toUtf8();
                lastReminded =
                    reminded
                        .value(QByteArray(fields[RecordLayout::SrNo].data(), fields[RecordLayout::SrNo].size()).toInt())
                        .toUtf8();
                cells[CertRows::kFields] = daysLeft;
                cells[CertRows::kFields + 1] = lastReminded;
            }
            output->row(std::span<const QByteArrayView>(cells.data(), shownCells));
        });
    });
    if (session.reportUnreadable(console.err))
        return 2;
    if (!begun)
        output->begin(headings);
    return finishList(*output, console);
}
