#include "host/ListCommands.h"

#include "host/HostSession.h"
#include "register/frmDscMain.h"

void printList(const CertGrid& grid, QTextStream& out) {
    for (int row = 0; row < grid.Rows(); ++row) {
        QStringList cells;
        for (int column = 0; column < grid.Cols(); ++column)
            if (column != 1)
                cells << grid.TextMatrix(row, column);
        out << cells.join(QLatin1Char('\t')) << '\n';
    }
    out.flush();
}

int runListCommand(HostSession& session, QTextStream& out) {
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
    printList(*window->vs, out);
    window->Unload();
    return 0;
}

int runCheckCommand(HostSession& session, QTextStream& out) {
    if (!session.initMe(true))
        return 0;
    frmDscMain* window = session.component()->registerWindow();
    if (!window)
        return 0;
    printList(*window->vs, out);
    window->Unload();
    return 1;
}
