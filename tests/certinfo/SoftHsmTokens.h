#pragma once

// Throwaway PKCS#11 tokens on SoftHSM2, in a temporary folder of their own, filled with the
// Debian tools softhsm2-util and pkcs11-tool.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

namespace kyt::test {

class SoftHsmTokens {
public:
    inline static const QString kModule = QStringLiteral("/usr/lib/softhsm/libsofthsm2.so");

    // Points SOFTHSM2_CONF (for this process and the tools) at a fresh, empty token folder.
    SoftHsmTokens() {
        const QString tokens = dir_.filePath(QStringLiteral("tokens"));
        QDir().mkpath(tokens);
        const QString config = dir_.filePath(QStringLiteral("softhsm2.conf"));
        QFile file(config);
        if (file.open(QIODevice::WriteOnly))
            file.write(QStringLiteral("directories.tokendir = %1\nobjectstore.backend = file\nlog.level = ERROR\n")
                           .arg(tokens)
                           .toUtf8());
        qputenv("SOFTHSM2_CONF", QFile::encodeName(config));
    }

    // Empty when the module and the tools are present, else what is missing.
    static QString missingTools() {
        QStringList missing;
        if (!QFile::exists(kModule))
            missing << kModule;
        for (const QString& tool : {QStringLiteral("softhsm2-util"), QStringLiteral("pkcs11-tool")}) {
            if (QStandardPaths::findExecutable(tool).isEmpty())
                missing << tool;
        }
        return missing.join(QLatin1String(", "));
    }

    // Makes token `label` holding the certificates, each under its object label (ids 01, 02, ...).
    // Empty on success, else the output of the tool that failed.
    QString addToken(const QString& label, const QList<QPair<QString, QByteArray>>& certificates) {
        if (!run(QStringLiteral("softhsm2-util"),
                 {QStringLiteral("--init-token"), QStringLiteral("--free"), QStringLiteral("--label"), label,
                  QStringLiteral("--so-pin"), kSoPin, QStringLiteral("--pin"), kUserPin}))
            return output_;
        for (int i = 0; i < certificates.size(); ++i) {
            const auto& [objectLabel, der] = certificates[i];
            const QString path = dir_.filePath(objectLabel + QStringLiteral(".der"));
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(der) != der.size())
                return QStringLiteral("cannot write ") + path;
            file.close();
            if (!run(QStringLiteral("pkcs11-tool"),
                     {QStringLiteral("--module"), kModule, QStringLiteral("--token-label"), label,
                      QStringLiteral("--login"), QStringLiteral("--pin"), kUserPin, QStringLiteral("--write-object"),
                      path, QStringLiteral("--type"), QStringLiteral("cert"), QStringLiteral("--id"),
                      QStringLiteral("%1").arg(i + 1, 2, 10, QLatin1Char('0')), QStringLiteral("--label"),
                      objectLabel}))
                return output_;
        }
        return {};
    }

    // Adds a key pair under object id `id` (two hex digits) to token `label`: the private key as
    // PKCS#8 DER, the public key as SubjectPublicKeyInfo DER. Empty on success, else the failure.
    QString addKeyPair(const QString& label, const QString& id, const QByteArray& privateDer,
                       const QByteArray& publicDer) {
        for (const auto& [type, der] : {QPair<QString, QByteArray>{QStringLiteral("privkey"), privateDer},
                                        QPair<QString, QByteArray>{QStringLiteral("pubkey"), publicDer}}) {
            const QString path = dir_.filePath(label + id + type + QStringLiteral(".der"));
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(der) != der.size())
                return QStringLiteral("cannot write ") + path;
            file.close();
            if (!run(QStringLiteral("pkcs11-tool"),
                     {QStringLiteral("--module"), kModule, QStringLiteral("--token-label"), label,
                      QStringLiteral("--login"), QStringLiteral("--pin"), kUserPin, QStringLiteral("--write-object"),
                      path, QStringLiteral("--type"), type, QStringLiteral("--id"), id}))
                return output_;
        }
        return {};
    }

    bool deleteToken(const QString& label) {
        return run(QStringLiteral("softhsm2-util"),
                   {QStringLiteral("--delete-token"), QStringLiteral("--token"), label});
    }

private:
    inline static const QString kSoPin = QStringLiteral("12345678");
    inline static const QString kUserPin = QStringLiteral("87654321");

    bool run(const QString& program, const QStringList& arguments) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        const bool finished = process.waitForFinished(30000);
        output_ = QString::fromLocal8Bit(process.readAll());
        return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    QTemporaryDir dir_;
    QString output_;
};

} // namespace kyt::test
