#include "platform/Desktop.h"

#include <QDesktopServices>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace kyt {

namespace {
// Whether the desktop names a program for this file's type or one it derives from. The opener
// itself starts in the background and cannot tell; without the desktop's query tool the answer
// is left to the opener.
bool desktopHasOpener(const QString& path) {
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (query.isEmpty())
        return true;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    for (const QString& name : QStringList{type.name()} + type.allAncestors()) {
        QProcess process;
        process.start(query, {QStringLiteral("query"), QStringLiteral("default"), name});
        if (process.waitForFinished(5000) && !process.readAllStandardOutput().trimmed().isEmpty())
            return true;
    }
    return false;
}
} // namespace

bool Desktop::openDocument(const QString& path) {
    return desktopHasOpener(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool Desktop::openUrl(const QString& url) {
    return QDesktopServices::openUrl(QUrl(url));
}

bool Desktop::startDetached(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

} // namespace kyt
