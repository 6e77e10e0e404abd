#include "host/SessionCommand.h"

#include "host/ConsoleDialogs.h"
#include "host/HostSession.h"

#include <QFileInfo>

int SessionCommand::run(const HostOptions& options, Console& console) const {
    QString error;
    auto session = HostSession::open(options, services(console), &error);
    if (!session) {
        console.err << "dscmgr: " << error << '\n';
        return 2;
    }
    if (!session->db()->warning().isEmpty())
        console.err << "dscmgr: warning: " << session->db()->warning() << '\n';
    return runIn(*session, console);
}

kyt::Services SessionCommand::services(Console& console) const {
    kyt::Services services = kyt::Services::production();
    services.dialogs = std::make_shared<ConsoleDialogs>(console.out);
    return services;
}

bool SessionCommand::noRegisterYet(const HostOptions& options, QTextStream& err) {
    if (!options.folder.isEmpty() || !options.db.isEmpty() ||
        QFileInfo::exists(HostOptions::defaultFolder() + QStringLiteral("/KYTDscMgr.db")))
        return false;
    err << "dscmgr: there are no certificates yet; the register is made when the window is first opened.\n";
    return true;
}
