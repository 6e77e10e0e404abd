#include "certinfo/ClsCertMain.h"

#include "certinfo/CertChooserDialog.h"
#include "certinfo/CertificateFile.h"
#include "certinfo/MiscInfo.h"
#include "certinfo/ResultCodes.h"
#include "certinfo/StoreListing.h"

#include <algorithm>
#include <QApplication>

namespace kyt::certinfo {

namespace {

// What a successful selection returns: any text but a failure code will do.
const QString kSelected = QStringLiteral("0");

// Runs one operation; whatever escapes it (memory exhaustion, say) becomes "-3".
template <class Operation> QVariant guarded(Operation&& operation) noexcept {
    try {
        return operation();
    } catch (...) {
        return codeText(Failure::Other);
    }
}

} // namespace

ClsCertMain::ClsCertMain(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("KYTCertInfo.ClsCertMain"));
}

ClsCertMain::~ClsCertMain() = default;

QVariant ClsCertMain::SelectCertificate1(const QVariant& path, const QVariant& password) {
    return guarded([&] {
        selected_.reset();
        CertificateOrFailure read = readCertificateFile(path.toString(), password.toString(), crypto_);
        if (auto* failure = std::get_if<Failure>(&read))
            return codeText(*failure);
        selected_ = std::move(std::get<X509Ptr>(read));
        return kSelected;
    });
}

QVariant ClsCertMain::SelectCertificate2(const QVariant& selector) {
    return guarded([&] {
        selected_.reset();
        bool isNumber = false;
        const int index = selector.toInt(&isNumber);
        if (!isNumber)
            return codeText(Failure::Other);
        return index == -1 ? selectChosenFromStore() : selectFromStore(index);
    });
}

QVariant ClsCertMain::GetMiscInfo(const QVariant& part, const QVariant& field) {
    return guarded([&] { return miscInfo(selected_.get(), part.toString(), field.toString()); });
}

QVariant ClsCertMain::GetStoreCertCount() {
    try {
        counted_ = readTokenStore();
        return int(counted_->size());
    } catch (...) {
        counted_.reset();
        return 0;
    }
}

QVariant ClsCertMain::GetStoreList() {
    try {
        QVariantList list;
        for (const StoreCertificateSummary& entry : listStoreCertificates()) {
            list << QVariantMap{{QStringLiteral("holder"), entry.holder},
                                {QStringLiteral("issuer"), entry.issuer},
                                {QStringLiteral("validTo"), entry.validTo}};
        }
        return list;
    } catch (...) {
        return QVariantList();
    }
}

QString ClsCertMain::selectFromStore(int index) {
    if (index < 0)
        return codeText(Failure::NotReadable);
    // Read the tokens again: a token pulled out since the count must not yield its certificate.
    const std::vector<TokenCertificate> present = readTokenStore();
    if (!counted_)
        return size_t(index) < present.size() ? select(present[size_t(index)].der) : codeText(Failure::NotReadable);
    if (size_t(index) >= counted_->size())
        return codeText(Failure::NotReadable);
    const TokenCertificate& wanted = (*counted_)[size_t(index)];
    if (std::find(present.begin(), present.end(), wanted) == present.end())
        return codeText(Failure::NotReadable);
    return select(wanted.der);
}

QString ClsCertMain::selectChosenFromStore() {
    const std::vector<TokenCertificate> present = readTokenStore();
    if (present.empty())
        return codeText(Failure::NotReadable);
    // The chooser is a window; a program without a widget application gets no certificate.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return codeText(Failure::Other);
    const int chosen = CertChooserDialog::choose(summarize(present), QApplication::activeWindow());
    if (chosen < 0 || size_t(chosen) >= present.size())
        return codeText(Failure::NotReadable);
    return select(present[size_t(chosen)].der);
}

QString ClsCertMain::select(const QByteArray& der) {
    CertificateOrFailure read = readCertificateBytes(der, QString(), crypto_);
    if (auto* failure = std::get_if<Failure>(&read))
        return codeText(*failure);
    selected_ = std::move(std::get<X509Ptr>(read));
    return kSelected;
}

} // namespace kyt::certinfo
