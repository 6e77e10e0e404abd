#include "host/RemindCommand.h"

#include "host/HostSession.h"
#include "reminders/ReminderRun.h"

#include <QCoreApplication>
#include <QSysInfo>

int runRemindCommand(HostSession& session, QTextStream& out, QTextStream& err) {
    const HostOptions& options = session.options();
    ClsMain& component = *session.component();
    component.DocPath = session.folder();
    component.LogFlNm = options.log;

    ReminderRun::Options run;
    run.steps = options.remindSteps;
    run.dryRun = options.dryRun;
    run.summaryTo = options.summaryTo;
    run.desk = QStringLiteral("%1:%2").arg(QSysInfo::machineHostName()).arg(QCoreApplication::applicationPid());

    const QDateTime now = component.services().clock->now();
    ReminderRun reminders(*session.db(), ReminderSettings::load(component.settingsFile()), now, &component);
    auto password = []() -> std::optional<QString> {
        if (qEnvironmentVariableIsSet("KYT_SMTP_PASSWORD"))
            return qEnvironmentVariable("KYT_SMTP_PASSWORD");
        return std::nullopt;
    };
    const ReminderRun::Outcome outcome = reminders.run(run, password, [&](const QString& line) {
        out << line << '\n';
        out.flush();
    });
    const bool worked = outcome.sent + outcome.skipped + outcome.failed > 0;
    if (worked || outcome.stopped.isEmpty()) {
        out << outcome.summaryLine() << '\n';
        out.flush();
    }
    if (!outcome.stopped.isEmpty()) {
        err << "dscmgr: " << outcome.stopped << '\n';
        err.flush();
    }
    if (!options.dryRun && (worked || !outcome.stopped.isEmpty()))
        ReminderRun::saveLastRun(session.folder(), outcome, now);
    return outcome.exitStatus();
}
