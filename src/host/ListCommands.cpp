#include "host/ListCommands.h"

#include "component/Module1.h"
#include "host/DesktopNotice.h"
#include "host/HostSession.h"
#include "host/ListOutput.h"
#include "register/frmDscMain.h"
#include "store/CertRows.h"

#include <algorithm>
#include <cstdio>

// A register that could not be read in full lists nothing: a heading alone would read as "no
// certificates". Its first error goes out as one line, exit status 2.
bool reportUnreadable(const HostSession& session, QTextStream& err) {
    const kyt::ErrorRecord& error = session.component()->firstTrappedError();
    if (!error.isSet())
        return false;
    err << "dscmgr: the register cannot be read: " << error.description.simplified() << '\n';
    err.flush();
    return true;
}

void printList(const CertGrid& grid, QTextStream& out) {
    TabOutput tab(out);
    for (int row = 0; row < grid.Rows(); ++row) {
        QStringList cells;
        for (int column = 0; column < grid.Cols(); ++column)
            if (column != 1)
                cells << grid.TextMatrix(row, column);
        if (row == 0)
            tab.begin(cells);
        else
            tab.row(cells);
    }
}

frmDscMain* openFilteredList(HostSession& session) {
    ClsMain& component = *session.component();
    component.DocPath = session.folder();
    component.Db = session.db();
    component.LogFlNm = session.options().log;

    auto* window = new frmDscMain();
    window->InitData(session.component(), false);
    switch (session.options().filter) {
    case HostOptions::Filter::All:
        break;
    case HostOptions::Filter::Expired:
        window->options[1]->setChecked(true);
        window->options_Click(1);
        break;
    case HostOptions::Filter::Expiring:
        if (session.options().expiringDays)
            window->txtdays[0]->setText(*session.options().expiringDays);
        window->cmdok_Click();
        break;
    }
    return window;
}

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
    headings.removeAt(1); // the record number, hidden in the window
    return headings;
}

// The list that did not reach its file or pipe fails the command: a script must not read a part
// list as the whole one.
int finishList(ListOutput& output, QTextStream& err) {
    output.end();
    if (output.flush())
        return 0;
    err << "dscmgr: the list could not be written in full.\n";
    err.flush();
    return 2;
}
} // namespace

int printEmptyList(const HostOptions& options, QTextStream& out, QTextStream& err) {
    const std::unique_ptr<ListOutput> output = outputFor(options, out);
    output->begin(listHeadings());
    return finishList(*output, err);
}

// The rows go out as they are read, from the statement the window's list runs: nothing is held but
// the row at hand, and no widget is made.
int runListCommand(HostSession& session, QTextStream& out, QTextStream& err) {
    ClsMain& component = *session.component();
    component.DocPath = session.folder();
    component.Db = session.db();
    component.LogFlNm = session.options().log;

    const std::unique_ptr<ListOutput> output = outputFor(session.options(), out);
    const QStringList headings = listHeadings();
    // The headings wait for the first row, so that a register failing at once prints nothing.
    bool begun = false;
    int number = 0;
    std::array<QByteArrayView, CertRows::kFields> cells; // the running number, then fields 1..15
    char numberText[16];
    kyt::ErrorTrap trap(&component, QStringLiteral("frmDscMain"), QStringLiteral("LOADGRID"));
    trap([&] {
        const CertRows::Selection selection = listSelection(session.options(), component);
        CertRows::readUtf8(*session.db(), selection.sql, [&](const CertRows::Utf8Fields& fields) {
            if (!begun) {
                output->begin(headings);
                begun = true;
            }
            cells[0] = QByteArrayView(numberText, std::snprintf(numberText, sizeof numberText, "%d", ++number));
            std::copy(fields.begin() + 1, fields.end(), cells.begin() + 1);
            output->row(std::span<const QByteArrayView>(cells));
        });
    });
    if (reportUnreadable(session, err))
        return 2;
    if (!begun)
        output->begin(headings);
    return finishList(*output, err);
}

QString expiryNotice(int certificates, const QString& days) {
    const QString what = certificates == 1 ? QStringLiteral("1 certificate expires")
                                           : QStringLiteral("%1 certificates expire").arg(certificates);
    return QStringLiteral("%1 within %2 %3")
        .arg(what, days, days == QLatin1String("1") ? QStringLiteral("day") : QStringLiteral("days"));
}

int runCheckCommand(HostSession& session, QTextStream& out, QTextStream& err, bool notify) {
    const bool opened = session.initMe(true);
    frmDscMain* window = session.component()->registerWindow();
    if (reportUnreadable(session, err)) {
        if (window)
            window->Unload();
        return 2;
    }
    if (!opened || !window)
        return 0;
    printList(*window->vs, out);
    if (notify &&
        !sendDesktopNotice(QStringLiteral("Digital Signature Certificates"),
                           expiryNotice(window->vs->Rows() - window->vs->FixedRows(), window->txtdays[1]->text())))
        err << "dscmgr: no desktop notification service answered; the list above is all.\n";
    window->Unload();
    return 1;
}
