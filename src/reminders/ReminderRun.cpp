#include "reminders/ReminderRun.h"

#include "platform/Db.h"
#include "platform/Error.h"
#include "platform/ErrorTrap.h"
#include "platform/RegularFile.h"
#include "platform/ReplacingFile.h"
#include "reminders/MailMessage.h"
#include "reminders/MailTemplate.h"
#include "reminders/ReminderLedger.h"
#include "reminders/ReminderSelection.h"
#include "reminders/SmtpSender.h"
#include "store/StoreStatements.h"

namespace {
QString plural(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

QString describe(const DueReminder& r) {
    const QString to = r.email.isEmpty() ? QString() : QStringLiteral(" <%1>").arg(r.email);
    const QString when = r.expired()
                             ? QStringLiteral("expired %1").arg(r.validTo.toString(QStringLiteral("dd/MM/yyyy")))
                             : QStringLiteral("expires %1, %2-day step")
                                   .arg(r.validTo.toString(QStringLiteral("dd/MM/yyyy")))
                                   .arg(r.step);
    // One line whatever the register holds: a stored line break must not make a line of its own.
    return QStringLiteral("%1%2, serial %3, %4").arg(r.name, to, r.serial, when).simplified();
}

QHash<QString, QString> placeholderValues(const DueReminder& r, const ReminderSettings& s) {
    return {{QStringLiteral("name"), r.name.simplified()},
            {QStringLiteral("serial"), r.serial.simplified()},
            {QStringLiteral("type"), r.type.simplified()},
            {QStringLiteral("issuer"), r.issuer.simplified()},
            {QStringLiteral("valid_to"), r.validTo.toString(QStringLiteral("dd/MM/yyyy"))},
            {QStringLiteral("days"), QString::number(qMax(0, r.days))},
            {QStringLiteral("practice"), s.practice}};
}

MailMessage reminderMail(const DueReminder& r, const ReminderSettings& s) {
    const auto values = placeholderValues(r, s);
    MailMessage m;
    m.fromName = s.fromName.isEmpty() ? s.practice : s.fromName;
    m.fromAddress = s.fromAddress.trimmed();
    m.toName = r.name;
    m.toAddress = r.email;
    m.subject = MailTemplate::fill(r.expired() ? s.expiredSubject : s.subject, values);
    m.body = MailTemplate::fill(r.expired() ? s.expiredBody : s.body, values);
    return m;
}

void logFailure(kyt::ErrorSink* log, const kyt::Error& e, const char* step) {
    if (log)
        log->logTrappedError(e.record(), QStringLiteral("Reminders\t") + QLatin1String(step));
}
} // namespace

QString ReminderRun::Outcome::summaryLine() const {
    if (dryRun)
        return QStringLiteral("%1 would be sent, %2 skipped without an e-mail address")
            .arg(plural(sent, "reminder", "reminders"))
            .arg(skipped);
    QString line = QStringLiteral("%1 sent, %2 skipped without an e-mail address, %3 failed")
                       .arg(plural(sent, "reminder", "reminders"))
                       .arg(skipped)
                       .arg(failed);
    if (unrecorded > 0)
        line += QStringLiteral(", %1 not recorded as sent").arg(unrecorded);
    return line;
}

int ReminderRun::Outcome::exitStatus() const {
    if (!stopped.isEmpty())
        return 2;
    return skipped > 0 || failed > 0 || unrecorded > 0 || summaryFailed ? 1 : 0;
}

ReminderRun::ReminderRun(kyt::Db& db, ReminderSettings settings, QDateTime now, kyt::ErrorSink* log)
    : db_(db), settings_(std::move(settings)), now_(std::move(now)), log_(log) {}

ReminderRun::Outcome ReminderRun::run(const Options& options, const PasswordSource& password,
                                      const std::function<void(const QString&)>& progress) {
    Outcome out;
    out.dryRun = options.dryRun;
    auto say = [&](const QString& line) {
        out.lines << line;
        if (progress)
            progress(line);
    };
    // Everything that can be checked is checked before the first mail goes.
    QString fault = settings_.checkContent();
    if (fault.isEmpty() && !options.dryRun)
        fault = settings_.checkMailing();
    if (fault.isEmpty() && !options.summaryTo.isEmpty() && !isUsableAddress(options.summaryTo))
        fault = QStringLiteral("The summary address \"%1\" is not a usable e-mail address.")
                    .arg(options.summaryTo.simplified());
    QList<int> steps;
    if (fault.isEmpty())
        steps = options.steps ? *options.steps : *parseSteps(settings_.steps, nullptr);
    if (!fault.isEmpty()) {
        out.stopped = fault;
        return out;
    }

    ReminderLedger ledger(db_);
    ReminderSelection selection;
    try {
        // A register never opened has no table yet, and so no certificate to remind of.
        db_.execute(StoreStatements::createTable());
        for (const QString& index : ReminderSelection::createIndexes())
            db_.execute(index);
        if (!options.dryRun) {
            ledger.createTable();
            ledger.dropStaleClaims(now_);
        }
        const QSet<QString> marked =
            ledger.markedSince(ReminderSelection::earliestValidTo(steps, now_), options.dryRun);
        selection = ReminderSelection::select(db_, steps, now_, marked);
    } catch (const kyt::Error& e) {
        logFailure(log_, e, "SELECT");
        out.stopped = QStringLiteral("The register cannot be read: %1").arg(e.record().description.simplified());
        return out;
    }

    for (int i = 0; i < selection.skipped.size(); ++i) {
        ++out.skipped;
        say(QStringLiteral("skipped: %1: %2").arg(describe(selection.skipped[i]), selection.skipReasons[i]));
    }
    if (options.dryRun) {
        for (const DueReminder& r : selection.due) {
            ++out.sent;
            say(QStringLiteral("would send: %1").arg(describe(r)));
        }
        return out;
    }

    // A claim that cannot be dropped is given up after kStaleClaimMinutes; the log says why.
    auto release = [&](const DueReminder& r) {
        kyt::ErrorTrap(log_, QStringLiteral("Reminders"), QStringLiteral("RELEASE"))([&] { ledger.release(r); });
    };
    std::unique_ptr<SmtpSender> sender;
    auto connect = [&]() -> bool {
        if (sender)
            return true;
        QString why;
        const std::optional<QString> secret = settings_.smtpUser.trimmed().isEmpty() ? QString() : password(&why);
        if (!secret) {
            out.stopped = why.isEmpty() ? QStringLiteral("No SMTP password was given (--password-file, "
                                                         "KYT_SMTP_PASSWORD); nothing was sent.")
                                        : why;
            return false;
        }
        sender = std::make_unique<SmtpSender>(settings_.smtpUrl, settings_.smtpUser, *secret);
        return true;
    };

    for (const DueReminder& r : selection.due) {
        bool mine = false;
        try {
            mine = ledger.claim(r, options.desk, now_);
        } catch (const kyt::Error& e) {
            logFailure(log_, e, "CLAIM");
            out.stopped =
                QStringLiteral("The reminders cannot be recorded: %1").arg(e.record().description.simplified());
            break;
        }
        if (!mine)
            continue; // another run at the same time has it
        if (!connect()) {
            release(r);
            break;
        }
        const SmtpSender::Result result =
            sender->send(settings_.fromAddress.trimmed(), r.email, reminderMail(r, settings_).render(now_));
        if (result.kind != SmtpSender::Result::Kind::Sent) {
            release(r);
            if (result.kind == SmtpSender::Result::Kind::Unreachable) {
                out.stopped = QStringLiteral("No mail could be sent through %1: %2")
                                  .arg(settings_.smtpUrl.trimmed(), result.reason);
                break;
            }
            ++out.failed;
            say(QStringLiteral("failed: %1: %2").arg(describe(r), result.reason));
            continue;
        }
        ++out.sent;
        try {
            ledger.markSent(r, now_);
            say(QStringLiteral("sent: %1").arg(describe(r)));
        } catch (const kyt::Error& e) {
            // The claim stays, so no run sends it again before the claim goes stale.
            logFailure(log_, e, "MARKSENT");
            ++out.unrecorded;
            say(QStringLiteral("sent: %1 (not recorded as sent, may go again after %2 minutes: %3)")
                    .arg(describe(r))
                    .arg(ReminderLedger::kStaleClaimMinutes)
                    .arg(e.record().description.simplified()));
        }
    }

    if (out.stopped.isEmpty() && (out.sent + out.skipped + out.failed) > 0 && connect()) {
        MailMessage summary;
        summary.fromName = settings_.fromName.isEmpty() ? settings_.practice : settings_.fromName;
        summary.fromAddress = settings_.fromAddress.trimmed();
        summary.toAddress = options.summaryTo.isEmpty() ? summary.fromAddress : options.summaryTo;
        summary.subject = QStringLiteral("Certificate reminders: ") + out.summaryLine();
        summary.body = summaryText(out, now_);
        const auto result = sender->send(summary.fromAddress, summary.toAddress, summary.render(now_));
        out.summaryFailed = result.kind != SmtpSender::Result::Kind::Sent;
        if (out.summaryFailed)
            say(QStringLiteral("failed: the summary to %1: %2").arg(summary.toAddress, result.reason));
    }
    return out;
}

QString ReminderRun::summaryText(const Outcome& outcome, const QDateTime& at) {
    QString text = QStringLiteral("Reminders of %1\n%2\n")
                       .arg(at.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")), outcome.summaryLine());
    if (!outcome.stopped.isEmpty())
        text += QStringLiteral("The run stopped: %1\n").arg(outcome.stopped);
    if (!outcome.lines.isEmpty())
        text += QLatin1Char('\n') + outcome.lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    return text;
}

QString ReminderRun::sendTestMail(const ReminderSettings& settings, const QString& password, const QDateTime& now) {
    QString fault = settings.checkContent();
    if (fault.isEmpty())
        fault = settings.checkMailing();
    if (!fault.isEmpty())
        return fault;
    DueReminder sample;
    sample.name = settings.fromName.isEmpty() ? QStringLiteral("Test Holder") : settings.fromName;
    sample.email = settings.fromAddress.trimmed();
    sample.type = QStringLiteral("Class 3 Individual");
    sample.serial = QStringLiteral("0123456789ABCDEF");
    sample.issuer = QStringLiteral("Sample Issuing Authority");
    sample.validTo = now.addDays(7);
    sample.days = 7;
    sample.step = 7;
    SmtpSender sender(settings.smtpUrl, settings.smtpUser, password);
    const auto result = sender.send(sample.email, sample.email, reminderMail(sample, settings).render(now));
    return result.kind == SmtpSender::Result::Kind::Sent ? QString() : result.reason;
}

QString ReminderRun::lastRunFile(const QString& folder) {
    return folder + QStringLiteral("/LastReminderRun.txt");
}

QString ReminderRun::lastRunText(const QString& folder) {
    const kyt::FileContents file = kyt::readRegularFile(lastRunFile(folder), 1 << 20);
    return file.ok() ? QString::fromUtf8(file.bytes) : QString();
}

bool ReminderRun::saveLastRun(const QString& folder, const Outcome& outcome, const QDateTime& at) {
    return kyt::ReplacingFile::writeAll(lastRunFile(folder), summaryText(outcome, at).toUtf8()).isEmpty();
}
