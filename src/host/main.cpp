#include "host/CommandLine.h"

#include <QApplication>
#include <QStyleFactory>
#include <QTextStream>

namespace {
// The command line prints only its own messages: the toolkit's notes about the environment (no
// runtime folder, fonts, the platform plugin) would become mail under cron.
void dropToolkitMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

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
    const auto invocation = commandline::parse(args, &error);
    if (!invocation) {
        err << "dscmgr: " << error << '\n';
        return 2;
    }
    const HostOptions& options = invocation->options;
    if (options.version) {
        out << commandline::version();
        return 0;
    }
    if (options.help) {
        out << (invocation->command ? invocation->command->help() : commandline::usage());
        return 0;
    }
    const Command& command = *invocation->command;
    if (command.opensWindow() && !hasDisplay()) {
        err << "dscmgr: no display is available. Run it under a virtual display (xvfb-run -a dscmgr ...), "
               "or use the command line: dscmgr list | report | check | remind | certinfo | store | import (see dscmgr "
               "--help).\n";
        return 2;
    }
    if (!command.opensWindow()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen"); // the command line never opens a window
        qInstallMessageHandler(dropToolkitMessages);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KYTDscMgr"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    Console console{out, err};
    return command.run(options, console);
}
