#pragma once

// Creates the certificate information object the way the component does: through the object
// registry, from the built library, and calls it by member name.

#include "platform/ObjectRegistry.h"

#include <QTemporaryDir>
#include <QVariant>

namespace kyt::test {

inline const QString kCertObjectId = QStringLiteral("KYTCertInfo.ClsCertMain");

class CertComponentHarness {
public:
    CertComponentHarness() : registry_(registryDir_.filePath(QStringLiteral("objects.ini"))) {
        registry_.registerObject(kCertObjectId, QStringLiteral(KYT_CERTINFO_PLUGIN));
        object_ = registry_.create(kCertObjectId);
    }

    QObject* object() const { return object_.get(); }

    QString selectFile(const QString& path, const QString& password = {}) {
        return callByName(object(), "SelectCertificate1", {path, password}).toString();
    }
    QString selectStore(int selector) { return callByName(object(), "SelectCertificate2", {selector}).toString(); }
    QString info(const QString& part, const QString& field = {}) {
        return callByName(object(), "GetMiscInfo", {part, field}).toString();
    }
    int storeCount() { return callByName(object(), "GetStoreCertCount").toInt(); }
    QVariantList storeList() { return callByName(object(), "GetStoreList").toList(); }

private:
    QTemporaryDir registryDir_;
    ObjectRegistry registry_;
    ObjectRef object_;
};

// The failure codes a selection or a field may answer with.
inline bool isFailureCode(const QString& result) {
    return result == QLatin1String("-1") || result == QLatin1String("-2") || result == QLatin1String("-3");
}

} // namespace kyt::test
