#include "host/RemindCommand.h"

#include "host/HostSession.h"
#include "host/PasswordSource.h"
#include "host/SharedOptions.h"
#include "platform/RegularFile.h"
#include "platform/ShownText.h"
#include "reminders/ReminderRun.h"
#include "reminders/ReminderSettings.h"

#include <QCoreApplication>
#include <QFile>
#include <QSysInfo>
#include <sys/stat.h>

RemindCommand::RemindCommand()
    : SessionCommand(
          {QStringLiteral("remind"),
           QStringLiteral("  dscmgr remind [--days 30,7,1] [--dry-run] [--summary-to ADDRESS] [--password-file FILE]\n"
                          "                [--folder DIR] [--db ADDRESS]\n"),
           QStringLiteral("E-mails the holders whose certificates are about to expire."),
           {QStringLiteral("remind e-mails each holder whose certificate expires within a step of days (section\n"
                           "Reminders of Confg.ini), once per certificate and step. The SMTP password comes from\n"
                           "--password-file, the environment variable KYT_SMTP_PASSWORD or a question on the\n"
                           "terminal, never from the command line.\n"
                           "Exit status: 0 every due reminder was delivered (holders without a usable address are\n"
                           "listed, not failed); 1 a reminder or the summary could not be delivered; 2 nothing\n"
                           "could be done (settings, password, mail server or register unusable).\n")}}) {}

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

namespace {
bool readableByOthers(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && (st.st_mode & S_IROTH);
}
} // namespace

int RemindCommand::runIn(HostSession& session, Console& console) const {
    QTextStream& out = console.out;
    QTextStream& err = console.err;
    const HostOptions& options = session.options();
    ClsMain& component = *session.component();
    component.DocPath = session.folder();
    component.LogFlNm = options.log;
    auto fail = [&](const QString& why) {
        err << "dscmgr: " << shown::terminalCell(why) << '\n';
        err.flush();
        return 2;
    };

    ReminderRun::Options run;
    run.steps = options.remindSteps;
    run.dryRun = options.dryRun;
    run.summaryTo = options.summaryTo;
    run.desk = QStringLiteral("%1:%2").arg(QSysInfo::machineHostName()).arg(QCoreApplication::applicationPid());

    // The session refused a settings file that is no regular file; the password file is refused
    // the same way when it is read, before anything is claimed. A file others may read is used,
    // with a word.
    if (!options.dryRun && !options.passwordFile.isEmpty() && kyt::whyNotRegularFile(options.passwordFile).isEmpty() &&
        readableByOthers(options.passwordFile)) {
        err << "dscmgr: warning: the password file " << shown::terminalCell(options.passwordFile)
            << " can be read by every user of this computer (chmod 600 it)\n";
        err.flush();
    }

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
    if (!outcome.lines.isEmpty() || outcome.stopped.isEmpty()) {
        out << outcome.summaryLine() << '\n';
        out.flush();
    }
    if (!outcome.stopped.isEmpty())
        return fail(outcome.stopped);
    if (!outcome.historyFault.isEmpty()) {
        err << "dscmgr: this run could not be kept in the history of runs: "
            << shown::terminalCell(outcome.historyFault) << '\n';
        err.flush();
    }
    return outcome.exitStatus();
}
