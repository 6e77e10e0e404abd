#include "certinfo/StoreListing.h"

#include "certinfo/CertificateFields.h"
#include "certinfo/OpenSslHandles.h"

namespace kyt::certinfo {

StoreCertificateSummary summarize(const TokenCertificate& cert) {
    const auto* p = reinterpret_cast<const unsigned char*>(cert.der.constData());
    const X509Ptr x509(d2i_X509(nullptr, &p, long(cert.der.size())));
    if (!x509)
        return {};
    return {holderName(x509.get()), issuerName(x509.get()), validToText(x509.get()).value_or(QString())};
}

std::vector<StoreCertificateSummary> summarize(const std::vector<TokenCertificate>& certs) {
    std::vector<StoreCertificateSummary> summaries;
    summaries.reserve(certs.size());
    for (const TokenCertificate& cert : certs)
        summaries.push_back(summarize(cert));
    return summaries;
}

std::vector<StoreCertificateSummary> listStoreCertificates() {
    return summarize(readTokenStore());
}

} // namespace kyt::certinfo
