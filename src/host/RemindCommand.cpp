#include "host/RemindCommand.h"

#include "host/HostSession.h"
#include "host/PasswordSource.h"
#include "host/SharedOptions.h"
#include "reminders/ReminderRun.h"
#include "reminders/ReminderSettings.h"

#include <QCoreApplication>
#include <QSysInfo>

RemindCommand::RemindCommand()
    : SessionCommand(
          {QStringLiteral("remind"),
           QStringLiteral("  dscmgr remind [--days 30,7,1] [--dry-run] [--summary-to ADDRESS] [--password-file FILE]\n"
                          "                [--folder DIR] [--db ADDRESS]\n"),
           QStringLiteral("E-mails the holders whose certificates are about to expire."),
           {QStringLiteral("remind e-mails each holder whose certificate expires within a step of days (section\n"
                           "Reminders of Confg.ini), once per certificate and step. The SMTP password comes from\n"
                           "--password-file, the environment variable KYT_SMTP_PASSWORD or a question on the\n"
                           "terminal, never from the command line.\n")}}) {}

QList<CommandOption> RemindCommand::options() const {
    const CommandOption days{QCommandLineOption(QStringLiteral("days"),
                                                QStringLiteral("the steps, in days before expiry (default: the "
                                                               "Steps setting)"),
                                                QStringLiteral("LIST")),
                             [](const QString& value, HostOptions& o) {
                                 QString why;
                                 o.remindSteps = parseSteps(value, &why);
                                 return o.remindSteps ? QString() : why;
                             }};
    const CommandOption summaryTo{QCommandLineOption(QStringLiteral("summary-to"),
                                                     QStringLiteral("where the summary goes (default: the sender)"),
                                                     QStringLiteral("ADDRESS")),
                                  [](const QString& value, HostOptions& o) {
                                      o.summaryTo = value.trimmed();
                                      return QString();
                                  }};
    // Refused with the reason: a password in the arguments is in every user's process list.
    CommandOption password{QCommandLineOption(QStringLiteral("password"), QString(), QStringLiteral("P")),
                           [](const QString&, HostOptions&) {
                               return QStringLiteral("remind takes the SMTP password from --password-file, "
                                                     "KYT_SMTP_PASSWORD or a question, never from the command line.");
                           }};
    password.option.setFlags(QCommandLineOption::HiddenFromHelp);
    return sharedoption::registerPlace() +
           QList<CommandOption>{
               days,
               flagOption(QStringLiteral("dry-run"),
                          QStringLiteral("lists what would be sent; sends and marks nothing"), &HostOptions::dryRun),
               summaryTo, sharedoption::passwordFile(QStringLiteral("the SMTP password is this file's first line")),
               password};
}

int RemindCommand::runIn(HostSession& session, Console& console) const {
    QTextStream& out = console.out;
    QTextStream& err = console.err;
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
