#pragma once

#include "reminders/ReminderSettings.h"

#include <functional>
#include <optional>
#include <QDateTime>
#include <QStringList>

namespace kyt {
class Db;
class ErrorSink;
} // namespace kyt

// One run of the reminders: checks everything it needs (settings, password, the mail server),
// works out what is owed, claims each reminder, sends it and marks it sent, mails the practice a
// summary when something happened, and keeps a line in the history of runs. Shared by
// `dscmgr remind` and the register window.
class ReminderRun {
public:
    struct Options {
        std::optional<QList<int>> steps; // none: the settings' Steps
        bool dryRun = false;             // list what would go; send, mark and write nothing
        QString summaryTo;               // empty: the sender address
        QString desk;                    // who ran it, kept with each claim
    };
    struct Outcome {
        int sent = 0, skipped = 0, failed = 0;
        int unrecorded = 0;     // sent, but the sent-log did not take the mark
        int pending = 0;        // claimed by another run that has not sent it yet
        int renewed = 0;        // not owed: the holder has a newer certificate
        int newlyNoAddress = 0; // skipped for the first time
        bool summarySent = false;
        bool summaryFailed = false; // the summary mail did not go
        QString stopped;            // why the run could not be carried out, or empty
        QString historyFault;       // why the run could not be kept in the history, or empty
        QStringList lines;          // one per reminder, in the order worked on
        bool dryRun = false;
        QString summaryLine() const;
        // 0 every due reminder delivered (rows without an address are listed, not failed), 1 a due
        // reminder or the summary could not be delivered or recorded, 2 nothing could be done.
        int exitStatus() const;
    };
    // Asked for the SMTP password before anything is claimed; nothing stops the run, with the
    // reason in `why` when there is one.
    using PasswordSource = std::function<std::optional<QString>(QString* why)>;

    // `now` is this desk's clock; days are counted in the practice's zone (TimeZone setting).
    ReminderRun(kyt::Db& db, ReminderSettings settings, QDateTime now, kyt::ErrorSink* log = nullptr);

    // `progress` receives each line as it is decided.
    Outcome run(const Options& options, const PasswordSource& password,
                const std::function<void(const QString&)>& progress = {});

    // Mails one sample reminder to the sender address, to try the settings. Empty when it went;
    // otherwise why not.
    static QString sendTestMail(const ReminderSettings& settings, const QString& password, const QDateTime& now);

    // The summary as mailed and kept: the summary line, then who was reminded, skipped, failed.
    static QString summaryText(const Outcome& outcome, const QDateTime& at);

private:
    void record(const QString& runId, const QString& desk, Outcome& out);

    kyt::Db& db_;
    ReminderSettings settings_;
    QDateTime now_;
    kyt::ErrorSink* log_;
};
