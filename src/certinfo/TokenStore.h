#pragma once

#include <QByteArray>
#include <QString>
#include <tuple>
#include <vector>

namespace kyt::certinfo {

// Which token a certificate lies on: a token is known by its maker, serial number and label.
struct TokenIdentity {
    QByteArray manufacturer;
    QByteArray serialNumber;
    QByteArray label;

    bool operator==(const TokenIdentity&) const = default;
    // By label first, the part a person recognises.
    bool operator<(const TokenIdentity& other) const {
        return std::tie(label, manufacturer, serialNumber) <
               std::tie(other.label, other.manufacturer, other.serialNumber);
    }
};

// One end-entity certificate found on a token.
struct TokenCertificate {
    TokenIdentity token;
    QByteArray label; // the object's label and id, for a stable order within a token
    QByteArray id;
    QByteArray der;

    bool operator==(const TokenCertificate&) const = default;
};

// The certificate store: the certificates on the PKCS#11 tokens of the modules registered with
// p11-kit, or of the modules named (colon-separated paths) in $KYT_PKCS11_MODULES when set.
// Trust-policy modules hold the system's trust anchors, not a holder's certificates, and are
// skipped, as are certificate authorities and a token reached twice through two modules.
//
// The order is stable while the tokens stay as they are: modules in load order, tokens by
// identity, certificates by label, id and content. Each call reads the tokens afresh.
std::vector<TokenCertificate> readTokenStore();

} // namespace kyt::certinfo
