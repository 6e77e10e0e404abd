#include "component/ClsMain.h"

#include <QDateTime>
#include <QFile>

QString ClsMain::logFile() const {
    return DocPath + QLatin1Char('/') + LogFlNm;
}

void ClsMain::DoErrorLogEntry() {
    if (err_.number == 0)
        return;
    // Opened and closed for every entry, so the host may read or move the file between entries.
    // A log that cannot be written loses the entry, never the operation being logged.
    QFile file(logFile());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    const QString line = services_.clock->now().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) + QLatin1Char('\t') +
                         QString::number(err_.number) + QLatin1Char('\t') + err_.description + QLatin1Char('\t') +
                         err_.source + QLatin1Char('\t') + Proc_Name + QLatin1String("\r\n");
    file.write(line.toUtf8());
}
