#include "certinfo/ClsCertMain.h"

#include "certinfo/CertChooserDialog.h"
#include "certinfo/CertificateFile.h"
#include "certinfo/MiscInfo.h"
#include "certinfo/ResultCodes.h"
#include "certinfo/StoreListing.h"
#include "platform/RegularFile.h"

#include <algorithm>
#include <QApplication>
#include <QFileInfo>

namespace kyt::certinfo {

namespace {

// What a successful selection returns: any text but a failure code will do.
const QString kSelected = QStringLiteral("0");

const QString kFileNotFound = QStringLiteral("file not found");
const QString kTooLarge = QStringLiteral("too large");
const QString kWrongPassword = QStringLiteral("wrong password");
const QString kNotACertificate = QStringLiteral("not a certificate file");
const QString kUnreadable = QStringLiteral("cannot be read");
const QString kNoTokenCertificate = QStringLiteral("no certificate on the token");

// Why reading certificate bytes failed, in the words a user understands.
QString reasonFor(Failure failure) {
    switch (failure) {
    case Failure::WrongPassword:
        return kWrongPassword;
    case Failure::NotReadable:
        return kNotACertificate;
    case Failure::Other:
        break;
    }
    return kUnreadable;
}

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

QString ClsCertMain::fail(Failure failure, const QString& reason) {
    lastFailure_ = reason;
    return codeText(failure);
}

QVariant ClsCertMain::SelectCertificate1(const QVariant& path, const QVariant& password) {
    lastFailure_ = kUnreadable; // until the selection has worked
    return guarded([&] {
        selected_.reset();
        // Only a regular file is read: a named pipe would block, a device such as /dev/zero never ends.
        const kyt::FileContents file = kyt::readRegularFile(path.toString(), kLargestCertificateFile);
        switch (file.status) {
        case kyt::FileContents::Status::Read:
            break;
        case kyt::FileContents::Status::Missing:
            return fail(Failure::NotReadable, kFileNotFound);
        case kyt::FileContents::Status::TooLarge:
            return fail(Failure::NotReadable, kTooLarge);
        case kyt::FileContents::Status::NotRegular: // "is a named pipe (FIFO), ..." as "a named pipe (FIFO), ..."
            return fail(Failure::NotReadable, file.why.mid(file.why.indexOf(QLatin1Char(' ')) + 1));
        case kyt::FileContents::Status::Unreadable:
            return fail(Failure::NotReadable, kUnreadable);
        }
        CertificateOrFailure read = readCertificateBytes(file.bytes, password.toString(), crypto_);
        if (auto* failure = std::get_if<Failure>(&read))
            return fail(*failure, reasonFor(*failure));
        selected_ = std::move(std::get<X509Ptr>(read));
        lastFailure_.clear();
        return kSelected;
    });
}

QVariant ClsCertMain::GetLastFailure() {
    return lastFailure_;
}

QVariant ClsCertMain::SelectCertificate2(const QVariant& selector) {
    lastFailure_ = kUnreadable;
    return guarded([&] {
        selected_.reset();
        bool isNumber = false;
        const int index = selector.toInt(&isNumber);
        if (!isNumber)
            return fail(Failure::Other, kNoTokenCertificate);
        const QString result = index == -1 ? selectChosenFromStore() : selectFromStore(index);
        if (result == kSelected)
            lastFailure_.clear();
        return result;
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
        return fail(Failure::NotReadable, kNoTokenCertificate);
    // Read the tokens again: a token pulled out since the count must not yield its certificate.
    const std::vector<TokenCertificate> present = readTokenStore();
    if (!counted_)
        return size_t(index) < present.size() ? select(present[size_t(index)].der)
                                              : fail(Failure::NotReadable, kNoTokenCertificate);
    if (size_t(index) >= counted_->size())
        return fail(Failure::NotReadable, kNoTokenCertificate);
    const TokenCertificate& wanted = (*counted_)[size_t(index)];
    if (std::find(present.begin(), present.end(), wanted) == present.end())
        return fail(Failure::NotReadable, kNoTokenCertificate);
    return select(wanted.der);
}

QString ClsCertMain::selectChosenFromStore() {
    const std::vector<TokenCertificate> present = readTokenStore();
    if (present.empty())
        return fail(Failure::NotReadable, kNoTokenCertificate);
    // The chooser is a window; a program without a widget application gets no certificate.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return codeText(Failure::Other);
    const int chosen = CertChooserDialog::choose(summarize(present), QApplication::activeWindow());
    if (chosen < 0 || size_t(chosen) >= present.size())
        return fail(Failure::NotReadable, QStringLiteral("no certificate was chosen"));
    return select(present[size_t(chosen)].der);
}

QString ClsCertMain::select(const QByteArray& der) {
    CertificateOrFailure read = readCertificateBytes(der, QString(), crypto_);
    if (auto* failure = std::get_if<Failure>(&read))
        return fail(*failure, *failure == Failure::WrongPassword ? kWrongPassword : kUnreadable);
    selected_ = std::move(std::get<X509Ptr>(read));
    return kSelected;
}

} // namespace kyt::certinfo
