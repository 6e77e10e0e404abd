#include "host/ReportCommand.h"

#include "component/Module1.h"
#include "host/HostSession.h"
#include "host/SharedOptions.h"
#include "platform/ReplacingFile.h"
#include "register/frmDscMain.h"

#include <QDir>

namespace {
// The print column rows: 1 "Sr. No.", 3 "Certificate Name" ... 17 "Address Proof File Name" (2 is
// the record key, never printed).
std::optional<QList<int>> columnRows(const QString& text) {
    QList<int> rows;
    for (const QString& part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int row = part.trimmed().toInt(&ok);
        if (!ok || row < 1 || row > 17 || row == 2)
            return std::nullopt;
        rows << row;
    }
    return rows;
}

// The register window, not shown, its list filled under the command line's filter: the report
// prints the list the window would show. Close it with Unload().
frmDscMain* openFilteredList(HostSession& session) {
    auto* window = new frmDscMain();
    window->InitData(session.component(), false);
    switch (session.options().filter) {
    case HostOptions::Filter::All:
        break;
    case HostOptions::Filter::Expired:
        window->options[1]->setChecked(true);
        window->options_Click(1);
        break;
    case HostOptions::Filter::Due: // list's own filters
    case HostOptions::Filter::RecentlyExpired:
        break;
    case HostOptions::Filter::Expiring:
        if (session.options().expiringDays)
            window->txtdays[0]->setText(*session.options().expiringDays);
        window->cmdok_Click();
        break;
    }
    return window;
}
} // namespace

ReportCommand::ReportCommand()
    : SessionCommand(
          {QStringLiteral("report"),
           QStringLiteral("  dscmgr report --pdf FILE [--expired | --expiring [DAYS]] [--columns 3,4,8]\n"
                          "                [--folder DIR] [--db ADDRESS]\n"),
           QStringLiteral("Prints the register's list into a PDF file, as the window's print does."),
           {QStringLiteral("--columns numbers the list's columns: 1 Sr. No., 3 Certificate Name, 4 Type of DSC,\n"
                           "5 Serial No., 6 Issuing Authority, 7 Valid From, 8 Valid To, 9 E-mail Id, 10 Mobile No.,\n"
                           "11 Tel. No., 12-14 ID Proof Type/No./File Name, 15-17 Address Proof Type/No./File Name;\n"
                           "without it the report prints the columns saved with \"Save Setup\", else all.\n")}}) {}

QList<CommandOption> ReportCommand::options() const {
    const CommandOption pdf = textOption(QStringLiteral("pdf"), QStringLiteral("FILE"),
                                         QStringLiteral("the PDF file to write"), &HostOptions::pdfFile);
    const CommandOption columns{
        QCommandLineOption(QStringLiteral("columns"), QStringLiteral("the columns to print, by number (see below)"),
                           QStringLiteral("LIST")),
        [](const QString& list, HostOptions& o) {
            o.columns = columnRows(list);
            if (!o.columns)
                return QStringLiteral("--columns takes column numbers 1 and 3 to 17 joined by \",\", not \"%1\".")
                    .arg(list);
            return QString();
        }};
    return sharedoption::registerPlace() + sharedoption::listFilter() + QList<CommandOption>{pdf, columns};
}

QString ReportCommand::check(const HostOptions& options) const {
    if (options.pdfFile.isEmpty())
        return QStringLiteral("report needs --pdf FILE.");
    // Refused before the register is opened, so that nothing at all is done: the file is written
    // at the end, into a new file renamed into place, and never through a device, pipe or planted link.
    const QString file = QDir(QDir::currentPath()).absoluteFilePath(options.pdfFile);
    if (const QString why = kyt::ReplacingFile::whyNotWritable(file); !why.isEmpty())
        return QStringLiteral("Cannot write %1: it %2.").arg(file, why);
    return {};
}

int ReportCommand::runIn(HostSession& session, Console& console) const {
    const QString file = QDir(QDir::currentPath()).absoluteFilePath(session.options().pdfFile);
    kyt::ObjectRef report;
    try {
        report = session.component()->services().objects->create(QStringLiteral("PrjLumen.RepView"));
        kyt::callByName(report.get(), "SetPdfOutput", {file});
    } catch (const kyt::Error& e) {
        console.err << "dscmgr: " << e.record().description << '\n';
        return 2;
    }
    ReportObj() = report;

    session.componentOnRegister();
    frmDscMain* window = openFilteredList(session);
    if (session.reportUnreadable(console.err)) {
        window->Unload();
        ReportObj().reset();
        return 2;
    }
    window->cmdpreview_Click();
    if (const auto& rows = session.options().columns)
        for (int r = 1; r < window->vsP->Rows(); ++r)
            window->vsP->setTextMatrix(r, PrintColumnModel::kPrintColumn,
                                       rows->contains(r) ? QStringLiteral("-1") : QStringLiteral("0"));
    window->cmdproceed_Click();
    window->Unload();

    // The report object tells whether the file was written; it says why not, or that the run
    // never reached it (see the error log then).
    QString error = QStringLiteral("The report was not written.");
    kyt::ErrorTrap::silent()([&] { error = kyt::callByName(report.get(), "LastError").toString(); });
    // Which writer wrote the file, when not the fast one.
    QString note;
    kyt::ErrorTrap::silent()([&] { note = kyt::callByName(report.get(), "LastNote").toString(); });
    ReportObj().reset();
    if (!error.isEmpty()) {
        console.err << "dscmgr: " << error << '\n';
        return 2;
    }
    if (!note.isEmpty())
        console.err << "dscmgr: " << note << '\n';
    return 0;
}
