#include "SoftHsmTokens.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace kyt::test {

namespace {
const QString kSoPin = QStringLiteral("12345678");
const QString kUserPin = QStringLiteral("87654321");
} // namespace

const QString SoftHsmTokens::kModule = QStringLiteral("/usr/lib/softhsm/libsofthsm2.so");

SoftHsmTokens::SoftHsmTokens() {
    const QString tokens = dir_.filePath(QStringLiteral("tokens"));
    QDir().mkpath(tokens);
    const QString config = dir_.filePath(QStringLiteral("softhsm2.conf"));
    QFile file(config);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QStringLiteral("directories.tokendir = %1\nobjectstore.backend = file\nlog.level = ERROR\n")
                       .arg(tokens)
                       .toUtf8());
    }
    qputenv("SOFTHSM2_CONF", QFile::encodeName(config));
}

QString SoftHsmTokens::missingTools() {
    QStringList missing;
    if (!QFile::exists(kModule))
        missing << kModule;
    for (const QString& tool : {QStringLiteral("softhsm2-util"), QStringLiteral("pkcs11-tool")}) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            missing << tool;
    }
    return missing.join(QLatin1String(", "));
}

bool SoftHsmTokens::initToken(const QString& label) {
    return run(QStringLiteral("softhsm2-util"),
               {QStringLiteral("--init-token"), QStringLiteral("--free"), QStringLiteral("--label"), label,
                QStringLiteral("--so-pin"), kSoPin, QStringLiteral("--pin"), kUserPin});
}

bool SoftHsmTokens::writeCertificate(const QString& tokenLabel, const QByteArray& der, const QString& objectLabel,
                                     const QString& id) {
    const QString path = dir_.filePath(objectLabel + QStringLiteral(".der"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(der) != der.size())
        return false;
    file.close();
    return run(QStringLiteral("pkcs11-tool"),
               {QStringLiteral("--module"), kModule, QStringLiteral("--token-label"), tokenLabel,
                QStringLiteral("--login"), QStringLiteral("--pin"), kUserPin, QStringLiteral("--write-object"), path,
                QStringLiteral("--type"), QStringLiteral("cert"), QStringLiteral("--id"), id, QStringLiteral("--label"),
                objectLabel});
}

bool SoftHsmTokens::deleteToken(const QString& label) {
    return run(QStringLiteral("softhsm2-util"), {QStringLiteral("--delete-token"), QStringLiteral("--token"), label});
}

bool SoftHsmTokens::run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(30000);
    lastOutput_ = QString::fromLocal8Bit(process.readAll());
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace kyt::test
