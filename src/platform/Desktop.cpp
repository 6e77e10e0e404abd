#include "platform/Desktop.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

namespace kyt {

bool Desktop::openDocument(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
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

bool RecordingDesktop::openDocument(const QString& path) {
    documents << path;
    return true;
}

bool RecordingDesktop::openUrl(const QString& url) {
    urls << url;
    return true;
}

bool RecordingDesktop::startDetached(const QString& program, const QStringList& arguments) {
    started << (QStringList{program} + arguments);
    return runStartedPrograms ? Desktop::startDetached(program, arguments) : true;
}

} // namespace kyt
