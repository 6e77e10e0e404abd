#include "host/TerminalProgress.h"

#include <QLocale>
#include <unistd.h>

TerminalProgress::TerminalProgress(QTextStream& err) : err_(err), terminal_(isatty(STDERR_FILENO) == 1) {}

void TerminalProgress::show(const QString& step, size_t at, size_t of) {
    if (!terminal_ || (step == step_ && since_.isValid() && since_.elapsed() < 100 && at != of))
        return;
    step_ = step;
    since_.start();
    const QLocale numbers(QLocale::English);
    // Carriage return and "erase to the end of the line": the line is redrawn, not added to.
    err_ << "\r\x1b[K" << step << ' ' << numbers.toString(qulonglong(at)) << " of " << numbers.toString(qulonglong(of));
    err_.flush();
    shown_ = true;
}

void TerminalProgress::done() {
    if (!shown_)
        return;
    err_ << "\r\x1b[K";
    err_.flush();
    shown_ = false;
}
