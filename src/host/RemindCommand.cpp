#include "host/RemindCommand.h"

#include "host/HostSession.h"
#include "host/PasswordSource.h"
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
    const ReminderSettings settings = ReminderSettings::load(component.settingsFile());
    ReminderRun reminders(*session.db(), settings, now, &component);
    auto password = [&](QString* why) -> std::optional<QString> {
        const PasswordAnswer answer =
            obtainPassword({std::nullopt, options.passwordFile, QStringLiteral("KYT_SMTP_PASSWORD"),
                            QStringLiteral("SMTP password for %1: ").arg(settings.smtpUser.trimmed())});
        *why = answer.error;
        return answer.password;
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
    if (!options.dryRun && (worked || !outcome.stopped.isEmpty()) &&
        !ReminderRun::saveLastRun(session.folder(), outcome, now)) {
        err << "dscmgr: the summary of this run could not be written to " << ReminderRun::lastRunFile(session.folder())
            << '\n';
        err.flush();
        return qMax(outcome.exitStatus(), 1);
    }
    return outcome.exitStatus();
}
