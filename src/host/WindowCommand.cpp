#include "host/WindowCommand.h"

#include "host/HostSession.h"
#include "host/HostWindow.h"
#include "host/SharedOptions.h"

#include <QApplication>

WindowCommand::WindowCommand()
    : SessionCommand(
          {QStringLiteral("gui"),
           QStringLiteral("  dscmgr [--folder DIR] [--db ADDRESS] [--log NAME] [--scale X,Y,F]   open the register\n"),
           QStringLiteral("Opens the register's window; also without the word gui."),
           {}}) {}

QList<CommandOption> WindowCommand::options() const {
    CommandOption scale{QCommandLineOption(QStringLiteral("scale"),
                                           QStringLiteral("the window's scale across, down and of its font"),
                                           QStringLiteral("X,Y,F")),
                        [](const QString& value, HostOptions& o) {
                            const QStringList parts = value.split(QLatin1Char(','));
                            bool okX = false, okY = false, okF = false;
                            if (parts.size() == 3) {
                                o.scaleX = parts[0].toFloat(&okX);
                                o.scaleY = parts[1].toFloat(&okY);
                                o.scaleFont = parts[2].toFloat(&okF);
                            }
                            if (!okX || !okY || !okF)
                                return QStringLiteral("--scale takes three numbers X,Y,F, such as 1.25,1.25,1.");
                            return QString();
                        }};
    return sharedoption::registerPlace() << scale;
}

// The window's user reads no terminal: messages are shown on the screen.
kyt::Services WindowCommand::services(Console&) const {
    return kyt::Services::production();
}

int WindowCommand::runIn(HostSession& session, Console&) const {
    HostWindow window(session);
    window.show();
    // The start-up check: opens the register with a warning only when something expires.
    if (session.initMe(true))
        session.component()->MdiObj = kyt::ObjectRef(&window, [](QObject*) {});
    return QApplication::exec();
}
