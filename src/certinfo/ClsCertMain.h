#pragma once

#include "certinfo/CryptoContext.h"
#include "certinfo/OpenSslHandles.h"
#include "certinfo/ResultCodes.h"
#include "certinfo/TokenStore.h"

#include <optional>
#include <QObject>
#include <QVariant>
#include <vector>

namespace kyt::certinfo {

// The certificate information object "KYTCertInfo.ClsCertMain". It selects one certificate, from
// a file or from the certificate store, and answers questions about it. Results are texts; "-1",
// "-2" and "-3" mean failure (see ResultCodes.h). No call lets an exception escape.
class ClsCertMain : public QObject {
    Q_OBJECT
public:
    explicit ClsCertMain(QObject* parent = nullptr);
    ~ClsCertMain() override;

    // Selects the certificate of a file: PKCS#12 with its password (may be empty), or X.509.
    Q_INVOKABLE QVariant SelectCertificate1(const QVariant& path, const QVariant& password);
    // Selects store entry `selector` (0 .. count - 1), or with -1 the one the user picks.
    Q_INVOKABLE QVariant SelectCertificate2(const QVariant& selector);
    // A field of the selected certificate (MiscInfo.h).
    Q_INVOKABLE QVariant GetMiscInfo(const QVariant& part, const QVariant& field);
    // The number of certificates in the store. Store indexes refer to this count's listing.
    Q_INVOKABLE QVariant GetStoreCertCount();
    // The store as a list of maps with "holder", "issuer" and "validTo", in store order.
    Q_INVOKABLE QVariant GetStoreList();
    // Why the last selection failed, in a few plain words ("wrong password", "file not found"...);
    // empty after a selection that worked.
    Q_INVOKABLE QVariant GetLastFailure();

private:
    // The failure code of a selection, remembering why it failed for GetLastFailure.
    QString fail(Failure failure, const QString& reason);
    QString selectFromStore(int selector);
    QString selectChosenFromStore();
    QString select(const QByteArray& der);

    // Declared first so it outlives the certificate read through it.
    CryptoContext crypto_;
    X509Ptr selected_;
    QString lastFailure_;
    // The listing that the last count described, so that index i still names the same certificate.
    std::optional<std::vector<TokenCertificate>> counted_;
};

} // namespace kyt::certinfo
