#include "host/ListCommands.h"

#include "host/DesktopNotice.h"
#include "host/HostSession.h"
#include "register/frmDscMain.h"

namespace {
QString csvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// A listing cell on one line and harmless on a terminal: tabs and line breaks stored in a field
// would split its row, and escape sequences would reach the terminal. Every control character
// becomes a blank.
QString listingCell(QString text) {
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    return text;
}
} // namespace

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
    for (int row = 0; row < grid.Rows(); ++row) {
        QStringList cells;
        for (int column = 0; column < grid.Cols(); ++column)
            if (column != 1)
                cells << listingCell(grid.TextMatrix(row, column));
        out << cells.join(QLatin1Char('\t')) << '\n';
    }
    out.flush();
}

void printCsv(const CertGrid& grid, QTextStream& out) {
    for (int row = 0; row < grid.Rows(); ++row) {
        QStringList cells;
        for (int column = 0; column < grid.Cols(); ++column)
            if (column != 1)
                cells << csvField(grid.TextMatrix(row, column));
        out << cells.join(QLatin1Char(',')) << "\r\n";
    }
    out.flush();
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

int runListCommand(HostSession& session, QTextStream& out, QTextStream& err) {
    frmDscMain* window = openFilteredList(session);
    const bool unreadable = reportUnreadable(session, err);
    if (!unreadable) {
        if (session.options().csv)
            printCsv(*window->vs, out);
        else
            printList(*window->vs, out);
    }
    window->Unload();
    return unreadable ? 2 : 0;
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
