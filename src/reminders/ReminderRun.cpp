#include "reminders/ReminderRun.h"

#include "platform/Db.h"
#include "platform/Error.h"
#include "platform/ErrorTrap.h"
#include "platform/ShownText.h"
#include "reminders/MailMessage.h"
#include "reminders/MailTemplate.h"
#include "reminders/ReminderLedger.h"
#include "reminders/ReminderSelection.h"
#include "reminders/RunHistory.h"
#include "reminders/SmtpSender.h"
#include "store/ReminderLog.h"
#include "store/StoreStatements.h"

#include <QElapsedTimer>
#include <QTimeZone>
#include <QUuid>

namespace {
QString plural(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

// One line for a person to read, whatever the register holds: no stored line break makes a line
// of its own and no escape sequence or direction control reaches a terminal or a mail.
QString describe(const DueReminder& r) {
    const QString to = r.email.isEmpty() ? QString() : QStringLiteral(" <%1>").arg(shown::terminalCell(r.email));
    const QString when = r.expired()
                             ? QStringLiteral("expired %1").arg(r.validTo.toString(QStringLiteral("dd/MM/yyyy")))
                             : QStringLiteral("expires %1, %2-day step")
                                   .arg(r.validTo.toString(QStringLiteral("dd/MM/yyyy")))
                                   .arg(r.step);
    return QStringLiteral("%1%2, serial %3, %4")
        .arg(shown::terminalCell(r.name), to, shown::terminalCell(r.serial), when)
        .simplified();
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

SmtpSender::Connection connectionOf(const ReminderSettings& s, const QString& password) {
    return {s.smtpUrl, s.smtpUser, password, s.tlsNone(), s.smtpCaFile, s.timeoutSeconds()};
}

void logFailure(kyt::ErrorSink* log, const kyt::Error& e, const char* step) {
    if (log)
        log->logTrappedError(e.record(), QStringLiteral("Reminders\t") + QLatin1String(step));
}

bool registerExists(kyt::Db& db) {
    try {
        kyt::RowSet rs = db.openRowSet(QStringLiteral("Select SrNo From DscStore Where 1=0"));
        rs.close();
        return true;
    } catch (const kyt::Error&) {
        return false;
    }
}

// The wall time of `now` in the practice's zone: what the days to expiry are counted from.
QDateTime inZone(const QDateTime& now, const QString& zoneId) {
    const QDateTime there = now.toTimeZone(QTimeZone(zoneId.toLatin1()));
    return QDateTime(there.date(), there.time());
}
} // namespace

QString ReminderRun::Outcome::summaryLine() const {
    QString line;
    if (dryRun)
        line = QStringLiteral("%1 would be sent, %2 skipped without an e-mail address")
                   .arg(plural(sent, "reminder", "reminders"))
                   .arg(skipped);
    else
        line = QStringLiteral("%1 sent, %2 skipped without an e-mail address, %3 failed")
                   .arg(plural(sent, "reminder", "reminders"))
                   .arg(skipped)
                   .arg(failed);
    if (pending > 0)
        line += QStringLiteral(", %1 pending").arg(pending);
    if (renewed > 0)
        line += QStringLiteral(", %1 renewed").arg(renewed);
    if (unrecorded > 0)
        line += QStringLiteral(", %1 not recorded as sent").arg(unrecorded);
    return line;
}

int ReminderRun::Outcome::exitStatus() const {
    if (!stopped.isEmpty())
        return 2;
    return failed > 0 || unrecorded > 0 || summaryFailed || !historyFault.isEmpty() ? 1 : 0;
}

ReminderRun::ReminderRun(kyt::Db& db, ReminderSettings settings, QDateTime now, kyt::ErrorSink* log)
    : db_(db), settings_(std::move(settings)), now_(std::move(now)), log_(log) {}

ReminderRun::Outcome ReminderRun::run(const Options& options, const PasswordSource& password,
                                      const std::function<void(const QString&)>& progress) {
    Outcome out;
    out.dryRun = options.dryRun;
    const QString runId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    auto say = [&](const QString& line) {
        out.lines << line;
        if (progress)
            progress(line);
    };
    auto stop = [&](const QString& why) {
        out.stopped = why;
        if (!options.dryRun)
            record(runId, options.desk, out);
        return out;
    };

    // Everything the run needs is read and checked before the first claim: a run that cannot start
    // leaves nothing behind that would hold a reminder back.
    QString fault = settings_.checkContent();
    if (fault.isEmpty() && !options.dryRun)
        fault = settings_.checkMailing();
    if (fault.isEmpty() && !options.summaryTo.isEmpty() && !isUsableAddress(options.summaryTo))
        fault = QStringLiteral("The summary address \"%1\" is not a usable e-mail address.")
                    .arg(shown::terminalCell(options.summaryTo.simplified()));
    if (!fault.isEmpty())
        return stop(fault);
    const QList<int> steps = options.steps ? *options.steps : *parseSteps(settings_.steps, nullptr);
    const QString zone = settings_.zoneId();
    const QDateTime now = inZone(now_, zone);

    std::unique_ptr<SmtpSender> sender;
    if (!options.dryRun) {
        QString secret;
        if (!settings_.smtpUser.trimmed().isEmpty()) {
            QString why;
            const std::optional<QString> given = password(&why);
            if (!given)
                return stop(why.isEmpty() ? QStringLiteral("No SMTP password was given (--password-file, "
                                                           "KYT_SMTP_PASSWORD); nothing was sent.")
                                          : why);
            secret = *given;
        }
        sender = std::make_unique<SmtpSender>(connectionOf(settings_, secret));
        const SmtpSender::Result reached = sender->check();
        if (reached.kind != SmtpSender::Result::Kind::Sent)
            return stop(QStringLiteral("No mail could be sent through %1: %2")
                            .arg(settings_.smtpUrl.trimmed(), reached.reason));
    }

    ReminderLedger ledger(db_, runId, options.desk, zone, settings_.leaseMinutesValue());
    ReminderSelection selection;
    ReminderLedger::State state;
    try {
        if (options.dryRun) {
            // A dry run reads only: a register without the table has nothing to remind of.
            if (registerExists(db_)) {
                state = ledger.stateSince(ReminderSelection::earliestValidTo(steps, now));
                selection = ReminderSelection::select(db_, steps, now, state.sent, state.held);
            }
        } else {
            db_.execute(StoreStatements::createTable());
            for (const QString& index : ReminderSelection::createIndexes())
                db_.execute(index);
            reminderlog::ensureTables(db_);
            state = ledger.stateSince(ReminderSelection::earliestValidTo(steps, now));
            selection = ReminderSelection::select(db_, steps, now, state.sent, state.held);
        }
    } catch (const kyt::Error& e) {
        logFailure(log_, e, "SELECT");
        return stop(QStringLiteral("The register cannot be read: %1").arg(e.record().description.simplified()));
    }

    for (int i = 0; i < selection.renewed.size(); ++i) {
        ++out.renewed;
        say(QStringLiteral("renewed by Sr. No. %1: %2")
                .arg(selection.renewedBy[i])
                .arg(describe(selection.renewed[i])));
    }
    for (int i = 0; i < selection.pending.size(); ++i) {
        ++out.pending;
        say(QStringLiteral("pending: %1: %2, not sent yet; the first run after its lease ends sends it")
                .arg(describe(selection.pending[i]), shown::terminalCell(selection.pendingNotes[i])));
    }
    for (int i = 0; i < selection.skipped.size(); ++i) {
        const DueReminder& r = selection.skipped[i];
        ++out.skipped;
        bool news = false;
        if (!options.dryRun)
            kyt::ErrorTrap(log_, QStringLiteral("Reminders"),
                           QStringLiteral("NOADDRESS"))([&] { news = ledger.markNoAddress(r); });
        out.newlyNoAddress += news ? 1 : 0;
        say(QStringLiteral("skipped: %1: %2").arg(describe(r), selection.skipReasons[i]));
    }
    if (options.dryRun) {
        for (const DueReminder& r : selection.due) {
            ++out.sent;
            say(QStringLiteral("would send: %1").arg(describe(r)));
        }
        return out;
    }

    // The claims stay alive while the run works, however slow the server: renewed between
    // messages and while one waits for an answer.
    QElapsedTimer sinceRenewal;
    sinceRenewal.start();
    auto keepAlive = [&] {
        if (sinceRenewal.elapsed() < 20000)
            return;
        kyt::ErrorTrap(log_, QStringLiteral("Reminders"), QStringLiteral("LEASE"))([&] { ledger.renewLease(); });
        sinceRenewal.restart();
    };
    // A claim that cannot be dropped is taken over once its lease ends; the log says why.
    auto release = [&](const DueReminder& r) {
        kyt::ErrorTrap(log_, QStringLiteral("Reminders"), QStringLiteral("RELEASE"))([&] { ledger.release(r); });
    };

    for (const DueReminder& r : selection.due) {
        keepAlive();
        bool mine = false;
        try {
            mine = ledger.claim(r);
        } catch (const kyt::Error& e) {
            logFailure(log_, e, "CLAIM");
            out.stopped =
                QStringLiteral("The reminders cannot be recorded: %1").arg(e.record().description.simplified());
            break;
        }
        if (!mine)
            continue; // another run at the same time has it
        const SmtpSender::Result result =
            sender->send(settings_.fromAddress.trimmed(), r.email, reminderMail(r, settings_).render(now_), keepAlive);
        if (result.kind != SmtpSender::Result::Kind::Sent) {
            release(r);
            if (result.kind == SmtpSender::Result::Kind::Unreachable) {
                out.stopped = QStringLiteral("No mail could be sent through %1: %2")
                                  .arg(settings_.smtpUrl.trimmed(), result.reason);
                break;
            }
            ++out.failed;
            say(QStringLiteral("failed: %1: %2").arg(describe(r), shown::terminalCell(result.reason)));
            continue;
        }
        ++out.sent;
        try {
            ledger.markSent(r);
            say(QStringLiteral("sent: %1").arg(describe(r)));
        } catch (const kyt::Error& e) {
            // The claim stays, so no run sends it again before its lease ends.
            logFailure(log_, e, "MARKSENT");
            ++out.unrecorded;
            say(QStringLiteral("sent: %1 (not recorded as sent, may go again after %2 minutes: %3)")
                    .arg(describe(r))
                    .arg(settings_.leaseMinutesValue())
                    .arg(e.record().description.simplified()));
        }
    }

    // The practice hears of a run only when something happened: a mail went or failed, or a holder
    // is newly without a usable address.
    if (out.stopped.isEmpty() && out.sent + out.failed + out.unrecorded + out.newlyNoAddress > 0) {
        MailMessage summary;
        summary.fromName = settings_.fromName.isEmpty() ? settings_.practice : settings_.fromName;
        summary.fromAddress = settings_.fromAddress.trimmed();
        summary.toAddress = options.summaryTo.isEmpty() ? summary.fromAddress : options.summaryTo;
        summary.subject = QStringLiteral("Certificate reminders: ") + out.summaryLine();
        summary.body = summaryText(out, now_);
        const auto result = sender->send(summary.fromAddress, summary.toAddress, summary.render(now_), keepAlive);
        out.summarySent = result.kind == SmtpSender::Result::Kind::Sent;
        out.summaryFailed = !out.summarySent;
        if (out.summaryFailed)
            say(QStringLiteral("failed: the summary to %1: %2")
                    .arg(summary.toAddress, shown::terminalCell(result.reason)));
    }
    record(runId, options.desk, out);
    return out;
}

void ReminderRun::record(const QString& runId, const QString& desk, Outcome& out) {
    try {
        RunHistory(db_).add(runId, desk, out, summaryText(out, now_));
    } catch (const kyt::Error& e) {
        logFailure(log_, e, "HISTORY");
        out.historyFault = e.record().description.simplified();
    }
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
    SmtpSender sender(connectionOf(settings, password));
    const auto result = sender.send(sample.email, sample.email, reminderMail(sample, settings).render(now));
    return result.kind == SmtpSender::Result::Kind::Sent ? QString() : result.reason;
}
