#include "host/CertCommands.h"
#include "host/ConsoleDialogs.h"
#include "host/HostOptions.h"
#include "host/HostSession.h"
#include "host/HostWindow.h"
#include "host/ImportCommand.h"
#include "host/ListCommands.h"
#include "host/RemindCommand.h"
#include "host/ReportCommand.h"

#include <cstdio>
#include <QApplication>
#include <QFileInfo>
#include <QStyleFactory>
#include <QTextStream>

namespace {
// The command line prints only its own messages: the toolkit's notes about the environment (no
// runtime folder, fonts, the platform plugin) would become mail under cron.
void dropToolkitMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

// The default register before the window has ever made it: a new machine, not a mistake.
bool defaultRegisterMissing(const HostOptions& options) {
    return options.folder.isEmpty() && options.db.isEmpty() &&
           !QFileInfo::exists(HostOptions::defaultFolder() + QStringLiteral("/KYTDscMgr.db"));
}

bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}
} // namespace

int main(int argc, char* argv[]) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    QString error;
    const auto options = HostOptions::parse(args, &error);
    if (!options) {
        err << "dscmgr: " << error << '\n';
        return 2;
    }
    if (options->command == HostOptions::Command::Help) {
        out << HostOptions::usage();
        return 0;
    }
    if (options->command == HostOptions::Command::Version) {
        out << HostOptions::version();
        return 0;
    }
    const bool gui = options->command == HostOptions::Command::Gui;
    if (gui && !hasDisplay()) {
        err << "dscmgr: no display is available. Run it under a virtual display (xvfb-run -a dscmgr ...), "
               "or use the command line: dscmgr list | report | check | remind | certinfo | store | import (see dscmgr "
               "--help).\n";
        return 2;
    }
    if (!gui && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // the command line never opens a window
    if (!gui)
        qInstallMessageHandler(dropToolkitMessages);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KYTDscMgr"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    kyt::Services services = kyt::Services::production();
    if (!gui)
        services.dialogs = std::make_shared<ConsoleDialogs>(out);

    if (options->command == HostOptions::Command::CertInfo)
        return runCertInfoCommand(*options, out, err);
    if (options->command == HostOptions::Command::Store)
        return runStoreCommand(*options, out, err);

    const bool reads =
        options->command == HostOptions::Command::List || options->command == HostOptions::Command::Check;
    if (reads && defaultRegisterMissing(*options)) {
        err << "dscmgr: there are no certificates yet; the register is made when the window is first opened.\n";
        return options->command == HostOptions::Command::List ? printEmptyList(*options, out, err) : 0;
    }
    auto session = HostSession::open(*options, std::move(services), &error);
    if (!session) {
        err << "dscmgr: " << error << '\n';
        return 2;
    }
    if (!session->db()->warning().isEmpty())
        err << "dscmgr: warning: " << session->db()->warning() << '\n';

    switch (options->command) {
    case HostOptions::Command::List:
        return runListCommand(*session, out, err);
    case HostOptions::Command::Report:
        return runReportCommand(*session, err);
    case HostOptions::Command::Check:
        return runCheckCommand(*session, out, err, options->notify);
    case HostOptions::Command::Import:
        return runImportCommand(*session, out, err);
    case HostOptions::Command::Remind:
        return runRemindCommand(*session, out, err);
    default:
        break;
    }

    HostWindow window(*session);
    window.show();
    // The start-up check: opens the register with a warning only when something expires.
    if (session->initMe(true))
        session->component()->MdiObj = kyt::ObjectRef(&window, [](QObject*) {});
    return app.exec();
}
