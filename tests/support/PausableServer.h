#pragma once

// A throwaway MariaDB server of a test's own, paused and resumed with signals, so that reads and
// writes meet a server that has accepted the login and then says nothing. Needs
// KYT_TEST_MARIADB_SCRIPT, the script that starts and stops test servers.

#include <csignal>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

namespace testsupport {

class PausableServer {
public:
    bool start(QString* log) {
        QProcess p;
        p.start(script(), {QStringLiteral("start"), dir_.path()});
        p.waitForFinished(180000);
        *log = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        QFile pidFile(dir_.filePath(QStringLiteral("pid")));
        if (p.exitCode() != 0 || !pidFile.open(QIODevice::ReadOnly))
            return false;
        pid_ = pidFile.readAll().trimmed().toInt();
        return pid_ > 0;
    }
    ~PausableServer() {
        resume();
        QProcess::execute(script(), {QStringLiteral("stop"), dir_.path()});
    }
    // Returns once every thread of the server has stopped: a thread busy on another core at the
    // signal could otherwise still answer one more statement.
    void pause() const {
        ::kill(pid_, SIGSTOP);
        for (int attempt = 0; attempt < 500 && !allThreadsStopped(); ++attempt)
            QThread::msleep(10);
    }
    void resume() const {
        if (pid_ > 0)
            ::kill(pid_, SIGCONT);
    }
    // A short timeout keeps the test short; the default is half a minute.
    QString address(const QString& database) const {
        return QStringLiteral("mysql://root@localhost/%1?socket=%2&timeout=2").arg(database, dir_.filePath("sock"));
    }

private:
    bool allThreadsStopped() const {
        const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid_));
        for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile stat(tasks.filePath(task) + QStringLiteral("/stat"));
            // "pid (name) STATE ...": the state follows the name's closing parenthesis.
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            const QByteArray line = stat.readAll();
            const qsizetype close = line.lastIndexOf(')');
            if (close < 0 || line.mid(close + 2, 1) != "T")
                return false;
        }
        return true;
    }
    static QString script() { return qEnvironmentVariable("KYT_TEST_MARIADB_SCRIPT"); }
    QTemporaryDir dir_;
    qint64 pid_ = 0;
};

} // namespace testsupport
