#pragma once

// Throwaway PKCS#11 tokens on SoftHSM2, in a temporary folder of their own, filled with the
// Debian tools softhsm2-util and pkcs11-tool.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace kyt::test {

class SoftHsmTokens {
public:
    static const QString kModule; // SoftHSM2's PKCS#11 module

    // Points SOFTHSM2_CONF (for this process and the tools) at a fresh, empty token folder.
    SoftHsmTokens();

    // Empty when the module and the tools are present, else what is missing.
    static QString missingTools();

    bool initToken(const QString& label);
    bool writeCertificate(const QString& tokenLabel, const QByteArray& der, const QString& objectLabel,
                          const QString& id);
    bool deleteToken(const QString& label);

    // The last tool's output, for failure messages.
    const QString& lastOutput() const { return lastOutput_; }

private:
    bool run(const QString& program, const QStringList& arguments);

    QTemporaryDir dir_;
    QString lastOutput_;
};

} // namespace kyt::test
