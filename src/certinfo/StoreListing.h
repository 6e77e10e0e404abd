#pragma once

#include "certinfo/TokenStore.h"

#include <QString>
#include <vector>

namespace kyt::certinfo {

// How a store certificate is shown to a person choosing one.
struct StoreCertificateSummary {
    QString holder;  // subject's common name
    QString issuer;  // issuer's common name
    QString validTo; // "dd/MM/yyyy HH:mm:ss", local time
};

StoreCertificateSummary summarize(const TokenCertificate& cert);
std::vector<StoreCertificateSummary> summarize(const std::vector<TokenCertificate>& certs);

// The store as listed to a user, in store order: entry i is store index i.
std::vector<StoreCertificateSummary> listStoreCertificates();

} // namespace kyt::certinfo
