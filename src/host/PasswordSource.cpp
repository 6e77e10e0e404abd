#include "host/PasswordSource.h"

#include "platform/RegularFile.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {
// The terminal settings to put back if the user presses Ctrl+C while echo is off: a shell left
// without echo looks broken.
termios savedTerminal;
volatile sig_atomic_t echoIsOff = 0;

void restoreAndRaise(int signal) {
    if (echoIsOff)
        tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Echo off for the life of the object, and the signal handlers that undo it.
class EchoOff {
public:
    EchoOff() {
        if (tcgetattr(STDIN_FILENO, &savedTerminal) != 0)
            return;
        termios quiet = savedTerminal;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        for (int s : {SIGINT, SIGTERM, SIGQUIT, SIGHUP})
            previous_[index(s)] = std::signal(s, restoreAndRaise);
        echoIsOff = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    ~EchoOff() {
        if (echoIsOff)
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
        echoIsOff = 0;
        for (int s : {SIGINT, SIGTERM, SIGQUIT, SIGHUP})
            std::signal(s, previous_[index(s)]);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    static int index(int s) { return s == SIGINT ? 0 : s == SIGTERM ? 1 : s == SIGQUIT ? 2 : 3; }
    void (*previous_[4])(int) = {};
};

// Far above any password; a bound, so that a file that never ends is not read into memory.
constexpr qint64 kLargestPasswordFile = 64 << 10;

std::optional<QString> firstLineOf(const QString& path, QString* error) {
    // Only a regular file: a named pipe would wait for a writer, a device such as /dev/zero never ends.
    const kyt::FileContents file = kyt::readRegularFile(path, kLargestPasswordFile);
    if (!file.ok()) {
        *error = QStringLiteral("the password file %1 %2.").arg(path, file.why);
        return std::nullopt;
    }
    QByteArray line = file.bytes;
    if (const qsizetype end = line.indexOf('\n'); end >= 0)
        line.truncate(end);
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}
} // namespace

std::optional<QString> askWithoutEcho(const QString& prompt) {
    if (!isatty(STDIN_FILENO))
        return std::nullopt;
    const QByteArray shown = prompt.toUtf8();
    std::fwrite(shown.constData(), 1, size_t(shown.size()), stderr);
    std::fflush(stderr);
    EchoOff quiet;
    // Byte by byte, so that nothing past the line is taken from the input.
    QByteArray line;
    char c = 0;
    for (;;) {
        const ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt;
        if (c == '\n')
            break;
        line += c;
    }
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

PasswordAnswer obtainPassword(const PasswordRequest& request, bool mayAsk) {
    PasswordAnswer answer;
    if (request.given) {
        answer.password = request.given;
    } else if (!request.file.isEmpty()) {
        answer.password = firstLineOf(request.file, &answer.error);
    } else if (!request.environmentVariable.isEmpty() &&
               qEnvironmentVariableIsSet(qPrintable(request.environmentVariable))) {
        answer.password = qEnvironmentVariable(qPrintable(request.environmentVariable));
    } else if (mayAsk) {
        answer.password = askWithoutEcho(request.prompt);
    }
    return answer;
}
