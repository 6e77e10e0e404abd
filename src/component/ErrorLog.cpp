#include "component/ClsMain.h"

#include "platform/FileKind.h"

#include <fcntl.h>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

namespace {
// A description, source or procedure name may quote an issuer or a file name holding line breaks;
// written unchanged they would split the entry, and the next reader would take half of it for a
// line of its own.
QString onOneLine(QString text) {
    if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'))) {
        text.replace(QLatin1Char('\r'), QLatin1Char(' '));
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    }
    return text;
}

// Without waiting on a named pipe that nobody reads, and without following a link that another
// user may have planted in a shared folder such as the temporary one.
bool openLogForAppending(const QString& path, QFile& file) {
    int flags = O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (kyt::othersMayWrite(QFileInfo(path).absolutePath()))
        flags |= O_NOFOLLOW;
    const int fd = ::open(QFile::encodeName(path).constData(), flags, 0666);
    if (fd < 0)
        return false;
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Append, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}
} // namespace

QString ClsMain::logFile() const {
    return DocPath + QLatin1Char('/') + LogFlNm;
}

void ClsMain::DoErrorLogEntry() {
    if (err_.number == 0)
        return;
    // Opened and closed for every entry, so the host may read or move the file between entries.
    // A log that cannot be written loses the entry, never the operation being logged.
    QFile file;
    if (!openLogForAppending(logFile(), file))
        return;
    const QString line = services_.clock->now().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) + QLatin1Char('\t') +
                         QString::number(err_.number) + QLatin1Char('\t') + onOneLine(err_.description) +
                         QLatin1Char('\t') + onOneLine(err_.source) + QLatin1Char('\t') + onOneLine(Proc_Name) +
                         QLatin1String("\r\n");
    file.write(line.toUtf8());
}
