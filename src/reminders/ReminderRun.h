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

// One run of the reminders: works out what is owed, claims each reminder, sends it and marks it
// sent, then mails the practice a summary. Shared by `dscmgr remind` and the register window.
class ReminderRun {
public:
    struct Options {
        std::optional<QList<int>> steps; // none: the settings' Steps
        bool dryRun = false;             // list what would go; send and mark nothing
        QString summaryTo;               // empty: the sender address
        QString desk;                    // who ran it, kept with each claim
    };
    struct Outcome {
        int sent = 0, skipped = 0, failed = 0;
        int unrecorded = 0;         // sent, but the ledger did not take the mark
        bool summaryFailed = false; // the summary mail did not go
        QString stopped;            // why the run could not be carried out, or empty
        QStringList lines;          // one per reminder, in the order worked on
        QString summaryLine() const;
        bool dryRun = false;
        // 0 all sent, 1 some skipped, failed or not recorded, or the summary did not go, 2 the run
        // could not be carried out.
        int exitStatus() const;
    };
    // Asked for the SMTP password when the first mail is about to go; nothing stops the run, with
    // the reason in `why` when there is one.
    using PasswordSource = std::function<std::optional<QString>(QString* why)>;

    ReminderRun(kyt::Db& db, ReminderSettings settings, QDateTime now, kyt::ErrorSink* log = nullptr);

    // `progress` receives each line as it is decided.
    Outcome run(const Options& options, const PasswordSource& password,
                const std::function<void(const QString&)>& progress = {});

    // Mails one sample reminder to the sender address, to try the settings. Empty when it went;
    // otherwise why not.
    static QString sendTestMail(const ReminderSettings& settings, const QString& password, const QDateTime& now);

    // The last run's summary, kept beside the settings file.
    static QString lastRunFile(const QString& folder);
    static QString lastRunText(const QString& folder);
    // False when the file could not be written.
    static bool saveLastRun(const QString& folder, const Outcome& outcome, const QDateTime& at);

    // The summary as mailed and as kept: the summary line, then who was reminded, skipped, failed.
    static QString summaryText(const Outcome& outcome, const QDateTime& at);

private:
    kyt::Db& db_;
    ReminderSettings settings_;
    QDateTime now_;
    kyt::ErrorSink* log_;
};
