#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTextStream>

// "Reading 1,234 of 5,000" on one line of standard error, rewritten in place, while a long run goes
// on; nothing at all when standard error is no terminal, so that logs and mail from cron stay clean.
class TerminalProgress {
public:
    explicit TerminalProgress(QTextStream& err);
    ~TerminalProgress() { done(); }
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    // Shown at most ten times a second, and whenever the step's name changes.
    void show(const QString& step, size_t at, size_t of);
    // Clears the line, so that what is written next starts on a clean one.
    void done();

private:
    QTextStream& err_;
    bool terminal_;
    bool shown_ = false;
    QString step_;
    QElapsedTimer since_;
};
