#include "host/CheckCommand.h"

#include "host/DesktopNotice.h"
#include "host/HostSession.h"
#include "store/ListOutput.h"
#include "host/SharedOptions.h"
#include "register/frmDscMain.h"
#include "store/RecordLayout.h"

namespace {
// The notice's text: "3 certificates expire within 30 days".
QString expiryNotice(int certificates, const QString& days) {
    const QString what = certificates == 1 ? QStringLiteral("1 certificate expires")
                                           : QStringLiteral("%1 certificates expire").arg(certificates);
    return QStringLiteral("%1 within %2 %3")
        .arg(what, days, days == QLatin1String("1") ? QStringLiteral("day") : QStringLiteral("days"));
}

// The heading line of the visible columns and one line per row, TAB-separated; false when it did
// not all reach its file or pipe.
bool printList(const CertGrid& grid, QTextStream& out) {
    TabOutput tab(out);
    for (int row = 0; row < grid.Rows(); ++row) {
        QStringList cells;
        for (int column = 0; column < grid.Cols(); ++column)
            if (column != RecordLayout::kRecordNumberColumn)
                cells << grid.TextMatrix(row, column);
        if (row == 0)
            tab.begin(cells);
        else
            tab.row(cells);
    }
    return tab.flush();
}
} // namespace

CheckCommand::CheckCommand()
    : SessionCommand(
          {QStringLiteral("check"),
           QStringLiteral("  dscmgr check [--notify] [--folder DIR] [--db ADDRESS]\n"),
           QStringLiteral("Lists the certificates that expire within the DSCDays setting, as the window does on "
                          "start-up."),
           {QStringLiteral("check exits with 1 when certificates expire within the DSCDays setting; --notify\n"
                           "also shows that as a desktop notification.\n")}}) {}

QList<CommandOption> CheckCommand::options() const {
    return sharedoption::registerPlace() << flagOption(QStringLiteral("notify"),
                                                       QStringLiteral("also tells the desktop, as one notification"),
                                                       &HostOptions::notify);
}

// A register the window has never made has nothing to expire.
int CheckCommand::run(const HostOptions& options, Console& console) const {
    return noRegisterYet(options, console.err) ? 0 : SessionCommand::run(options, console);
}

int CheckCommand::runIn(HostSession& session, Console& console) const {
    const bool opened = session.initMe(true);
    frmDscMain* window = session.component()->registerWindow();
    if (session.reportUnreadable(console.err)) {
        if (window)
            window->Unload();
        return 2;
    }
    if (!opened || !window)
        return 0;
    if (!printList(*window->vs, console.out)) {
        window->Unload();
        return console.unwritten(QStringLiteral("the list"));
    }
    if (session.options().notify &&
        !sendDesktopNotice(QStringLiteral("Digital Signature Certificates"),
                           expiryNotice(window->vs->Rows() - window->vs->FixedRows(), window->txtdays[1]->text())))
        console.err << "dscmgr: no desktop notification service answered; the list above is all.\n";
    window->Unload();
    return 1;
}
