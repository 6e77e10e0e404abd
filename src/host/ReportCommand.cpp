#include "host/ReportCommand.h"

#include "component/Module1.h"
#include "host/HostSession.h"
#include "host/ListCommands.h"
#include "register/frmDscMain.h"

#include <QDir>

int runReportCommand(HostSession& session, QTextStream& err) {
    const QString file = QDir(QDir::currentPath()).absoluteFilePath(session.options().pdfFile);
    kyt::ObjectRef report;
    try {
        report = session.component()->services().objects->create(QStringLiteral("PrjLumen.RepView"));
        kyt::callByName(report.get(), "SetPdfOutput", {file});
    } catch (const kyt::Error& e) {
        err << "dscmgr: " << e.record().description << '\n';
        return 2;
    }
    ReportObj() = report;

    frmDscMain* window = openFilteredList(session);
    if (reportUnreadable(session, err)) {
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
    ReportObj().reset();
    if (!error.isEmpty()) {
        err << "dscmgr: " << error << '\n';
        return 2;
    }
    return 0;
}
