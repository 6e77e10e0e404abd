#include "host/HostOptions.h"

#include "host/CommandLine.h"

#include <QDir>

QString HostOptions::defaultFolder() {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/KYTDscMgr");
}

QString HostOptions::resolvedFolder() const {
    return QDir::cleanPath(QDir(folder.isEmpty() ? defaultFolder() : folder).absolutePath());
}

std::optional<HostOptions> HostOptions::parse(const QStringList& args, QString* error) {
    const auto invocation = commandline::parse(args, error);
    if (!invocation)
        return std::nullopt;
    return invocation->options;
}
