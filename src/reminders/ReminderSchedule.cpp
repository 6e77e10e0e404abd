#include "reminders/ReminderSchedule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

namespace {
// A word of a command line as the shell and systemd both take it: in single quotes unless plain.
QString quotedWord(const QString& word) {
    static const QRegularExpression plain(QStringLiteral(R"(^[A-Za-z0-9_./:@%+=,-]+$)"));
    if (plain.match(word).hasMatch())
        return word;
    QString q = word;
    q.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

// systemd's own quoting: double quotes, with backslash, double quote and "%" escaped.
QString unitWord(const QString& word) {
    QString q = word;
    q.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('"'), QLatin1String("\\\""))
        .replace(QLatin1Char('%'), QLatin1String("%%"));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

bool writeText(const QString& path, const QString& text) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = text.toUtf8();
    return f.write(bytes) == bytes.size() && f.commit();
}
} // namespace

ReminderSchedule::ReminderSchedule() {
    unitFolder_ = qEnvironmentVariable("KYT_SYSTEMD_USER_DIR");
    if (unitFolder_.isEmpty())
        unitFolder_ = QDir::homePath() + QStringLiteral("/.config/systemd/user");
    systemctl_ = qEnvironmentVariable("KYT_SYSTEMCTL", QStringLiteral("systemctl"));
}

QString ReminderSchedule::servicePath() const {
    return unitFolder_ + QLatin1Char('/') + QLatin1String(kUnitName) + QStringLiteral(".service");
}

QString ReminderSchedule::timerPath() const {
    return unitFolder_ + QLatin1Char('/') + QLatin1String(kUnitName) + QStringLiteral(".timer");
}

QString ReminderSchedule::systemctl(const QStringList& args) const {
    const QString program =
        QFileInfo(systemctl_).isAbsolute() ? systemctl_ : QStandardPaths::findExecutable(systemctl_);
    if (program.isEmpty() || !QFileInfo(program).isExecutable())
        return QStringLiteral("systemctl is not there");
    QProcess p;
    p.start(program, QStringList{QStringLiteral("--user")} + args);
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return QStringLiteral("systemctl did not answer");
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        const QString said = QString::fromLocal8Bit(p.readAllStandardError()).simplified();
        return said.isEmpty() ? QStringLiteral("systemctl failed") : said;
    }
    return {};
}

bool ReminderSchedule::systemdAvailable() const {
    return systemctl({QStringLiteral("show-environment")}).isEmpty();
}

std::optional<QTime> ReminderSchedule::installedAt() const {
    QFile f(timerPath());
    if (!QFileInfo(timerPath()).isFile() || !f.open(QIODevice::ReadOnly))
        return std::nullopt;
    static const QRegularExpression calendar(QStringLiteral(R"(^OnCalendar=\*-\*-\* (\d\d):(\d\d))"),
                                             QRegularExpression::MultilineOption);
    const auto m = calendar.match(QString::fromUtf8(f.read(64 * 1024)));
    if (!m.hasMatch())
        return std::nullopt;
    return QTime(m.captured(1).toInt(), m.captured(2).toInt());
}

QString ReminderSchedule::install(const QTime& at, const QStringList& command) const {
    if (!QDir().mkpath(unitFolder_))
        return QStringLiteral("The folder %1 could not be made.").arg(unitFolder_);
    QStringList words;
    for (const QString& w : command)
        words << unitWord(w);
    const QString service = QStringLiteral("[Unit]\nDescription=Certificate renewal reminders\n\n[Service]\n"
                                           "Type=oneshot\nExecStart=%1\n")
                                .arg(words.join(QLatin1Char(' ')));
    const QString timer =
        QStringLiteral("[Unit]\nDescription=Daily certificate renewal reminders\n\n[Timer]\n"
                       "OnCalendar=*-*-* %1:00\nPersistent=true\n\n[Install]\nWantedBy=timers.target\n")
            .arg(at.toString(QStringLiteral("HH:mm")));
    if (!writeText(servicePath(), service) || !writeText(timerPath(), timer))
        return QStringLiteral("The timer could not be written to %1.").arg(unitFolder_);
    for (const QStringList& args : {QStringList{QStringLiteral("daemon-reload")},
                                    QStringList{QStringLiteral("enable"), QStringLiteral("--now"),
                                                QLatin1String(kUnitName) + QStringLiteral(".timer")}})
        if (const QString why = systemctl(args); !why.isEmpty())
            return QStringLiteral("The timer was written but could not be started: %1").arg(why);
    return {};
}

QString ReminderSchedule::remove() const {
    const QString why = systemctl(
        {QStringLiteral("disable"), QStringLiteral("--now"), QLatin1String(kUnitName) + QStringLiteral(".timer")});
    const bool gone = (!QFileInfo::exists(timerPath()) || QFile::remove(timerPath())) &&
                      (!QFileInfo::exists(servicePath()) || QFile::remove(servicePath()));
    if (!gone)
        return QStringLiteral("The timer in %1 could not be removed.").arg(unitFolder_);
    systemctl({QStringLiteral("daemon-reload")});
    return why.isEmpty() ? QString() : QStringLiteral("The timer was removed; systemctl said: %1").arg(why);
}

QString ReminderSchedule::crontabLine(const QTime& at, const QStringList& command) {
    QStringList words;
    for (const QString& w : command)
        words << quotedWord(w).replace(QLatin1Char('%'), QLatin1String("\\%")); // "%" ends a crontab command
    return QStringLiteral("%1 %2 * * * %3").arg(at.minute()).arg(at.hour()).arg(words.join(QLatin1Char(' ')));
}

QStringList ReminderSchedule::remindCommand(const QString& folder, const QString& database,
                                            const QString& passwordFile) {
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/dscmgr");
    QStringList command{QFileInfo(beside).isExecutable() ? beside : QStringLiteral("dscmgr"), QStringLiteral("remind"),
                        QStringLiteral("--folder"), folder};
    if (!database.isEmpty())
        command << QStringLiteral("--db") << database;
    if (!passwordFile.isEmpty())
        command << QStringLiteral("--password-file") << passwordFile;
    return command;
}
