#pragma once

#include <optional>
#include <QString>
#include <QStringList>
#include <QTime>

// A daily run of `dscmgr remind` for the current user: a systemd user timer where the user has a
// systemd manager, otherwise the equivalent crontab line for the user to add. The unit folder and
// the systemctl program can be set by KYT_SYSTEMD_USER_DIR and KYT_SYSTEMCTL, so that a test never
// touches the real user's timers.
class ReminderSchedule {
public:
    static constexpr const char* kUnitName = "kyt-dscmgr-remind";

    ReminderSchedule();

    // True when a user systemd manager answers.
    bool systemdAvailable() const;
    // The time the installed timer runs at; none when no timer is installed.
    std::optional<QTime> installedAt() const;
    // Empty when done; otherwise why not, in one sentence.
    QString install(const QTime& at, const QStringList& command) const;
    QString remove() const;

    // The command's line for a crontab, running at `at` every day.
    static QString crontabLine(const QTime& at, const QStringList& command);
    // `dscmgr remind` for the register in `folder`, with `passwordFile` when one is named.
    static QStringList remindCommand(const QString& folder, const QString& database, const QString& passwordFile);

    QString unitFolder() const { return unitFolder_; }

private:
    QString systemctl(const QStringList& args) const; // empty when it succeeded, else its complaint
    QString servicePath() const;
    QString timerPath() const;

    QString unitFolder_, systemctl_;
};
