#include "certinfo/TokenStore.h"

#include "certinfo/CertificateFields.h"
#include "certinfo/OpenSslHandles.h"
#include "certinfo/Pkcs11Handles.h"

#include <algorithm>
#include <QFile>
#include <set>

namespace kyt::certinfo {

namespace {

const char* const kModulesVariable = "KYT_PKCS11_MODULES";

// An attribute value larger than this is not a certificate we could use.
constexpr CK_ULONG kLargestAttribute = 1024 * 1024;
// More certificate objects than any token holds.
constexpr size_t kMostObjects = 4096;

// The modules to read, and ownership of them for the duration of one reading.
class ModuleSet {
public:
    ModuleSet() {
        const QByteArray named = qgetenv(kModulesVariable);
        if (!named.isEmpty())
            loadNamed(named);
        else
            loadRegistered();
    }

    const std::vector<CK_FUNCTION_LIST*>& modules() const { return modules_; }

private:
    void loadNamed(const QByteArray& paths) {
        for (const QByteArray& path : paths.split(':')) {
            if (path.isEmpty() || !QFile::exists(QFile::decodeName(path)))
                continue;
            LoadedModulePtr module(p11_kit_module_load(path.constData(), 0));
            if (!module)
                continue;
            if (p11_kit_module_initialize(module.get()) != CKR_OK) {
                // Not initialised, so only released.
                p11_kit_module_release(module.release());
                continue;
            }
            modules_.push_back(module.get());
            loaded_.push_back(std::move(module));
        }
    }

    void loadRegistered() {
        registered_.reset(p11_kit_modules_load_and_initialize(0));
        for (CK_FUNCTION_LIST** m = registered_.get(); m && *m; ++m) {
            if (!isTrustPolicy(*m))
                modules_.push_back(*m);
        }
    }

    static bool isTrustPolicy(CK_FUNCTION_LIST* module) {
        const P11KitTextPtr option(p11_kit_config_option(module, "trust-policy"));
        const QByteArray value = option ? QByteArray(option.get()).trimmed().toLower() : QByteArray();
        return value == "yes" || value == "true" || value == "on" || value == "1" ||
               (p11_kit_module_get_flags(module) & P11_KIT_MODULE_TRUSTED);
    }

    RegisteredModulesPtr registered_;
    std::vector<LoadedModulePtr> loaded_;
    std::vector<CK_FUNCTION_LIST*> modules_;
};

QByteArray paddedText(const CK_UTF8CHAR* text, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(text), qsizetype(size)).trimmed();
}

std::optional<QByteArray> attribute(CK_FUNCTION_LIST* module, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                                    CK_ATTRIBUTE_TYPE type) {
    CK_ATTRIBUTE query = {type, nullptr, 0};
    if (module->C_GetAttributeValue(session, object, &query, 1) != CKR_OK ||
        query.ulValueLen == CK_UNAVAILABLE_INFORMATION || query.ulValueLen > kLargestAttribute)
        return std::nullopt;
    QByteArray value(qsizetype(query.ulValueLen), '\0');
    query.pValue = value.data();
    if (module->C_GetAttributeValue(session, object, &query, 1) != CKR_OK)
        return std::nullopt;
    value.truncate(qsizetype(query.ulValueLen));
    return value;
}

bool isEndEntityCertificate(const QByteArray& der) {
    const auto* p = reinterpret_cast<const unsigned char*>(der.constData());
    const X509Ptr cert(d2i_X509(nullptr, &p, long(der.size())));
    return cert && !isCertificateAuthority(cert.get());
}

// Whether the token holds a key of the pair that certificate `id` belongs to. The private key is
// seen only after logging in; the public key of the pair is public, as the certificate is.
bool hasKeyPair(CK_FUNCTION_LIST* module, CK_SESSION_HANDLE session, const QByteArray& id) {
    if (id.isEmpty())
        return false;
    for (CK_OBJECT_CLASS keyClass : {CKO_PRIVATE_KEY, CKO_PUBLIC_KEY}) {
        CK_ATTRIBUTE query[] = {{CKA_CLASS, &keyClass, sizeof keyClass},
                                {CKA_ID, const_cast<char*>(id.constData()), CK_ULONG(id.size())}};
        const Pkcs11Search search(module, session, query, 2);
        CK_OBJECT_HANDLE key = 0;
        CK_ULONG count = 0;
        if (search.isStarted() && module->C_FindObjects(session, &key, 1, &count) == CKR_OK && count > 0)
            return true;
    }
    return false;
}

// The X.509 certificates that a session sees without logging in (certificates are public objects).
std::vector<TokenCertificate> certificatesOn(CK_FUNCTION_LIST* module, CK_SLOT_ID slot, const TokenIdentity& token) {
    std::vector<TokenCertificate> found;
    const Pkcs11Session session(module, slot);
    if (!session.isOpen())
        return found;
    CK_OBJECT_CLASS certificateClass = CKO_CERTIFICATE;
    CK_CERTIFICATE_TYPE x509 = CKC_X_509;
    CK_ATTRIBUTE query[] = {{CKA_CLASS, &certificateClass, sizeof certificateClass},
                            {CKA_CERTIFICATE_TYPE, &x509, sizeof x509}};
    std::vector<CK_OBJECT_HANDLE> objects;
    {
        const Pkcs11Search search(module, session.handle(), query, 2);
        if (!search.isStarted())
            return found;
        CK_OBJECT_HANDLE batch[32];
        CK_ULONG count = 0;
        // Bounded, so that a module that never reports the end cannot keep us here.
        while (objects.size() < kMostObjects && module->C_FindObjects(session.handle(), batch, 32, &count) == CKR_OK &&
               count > 0)
            objects.insert(objects.end(), batch, batch + count);
    }
    // Listed: every holder's certificate, and any certificate whose key pair is on the token (a
    // self-signed one is a certificate authority by its flags, yet its owner signs with it).
    for (CK_OBJECT_HANDLE object : objects) {
        const auto der = attribute(module, session.handle(), object, CKA_VALUE);
        if (!der)
            continue;
        const QByteArray id = attribute(module, session.handle(), object, CKA_ID).value_or(QByteArray());
        if (!isEndEntityCertificate(*der) && !hasKeyPair(module, session.handle(), id))
            continue;
        found.push_back(
            {token, attribute(module, session.handle(), object, CKA_LABEL).value_or(QByteArray()), id, *der});
    }
    std::sort(found.begin(), found.end(), [](const TokenCertificate& a, const TokenCertificate& b) {
        return std::tie(a.label, a.id, a.der) < std::tie(b.label, b.id, b.der);
    });
    return found;
}

struct PresentToken {
    CK_SLOT_ID slot;
    TokenIdentity identity;
};

std::vector<PresentToken> tokensOf(CK_FUNCTION_LIST* module) {
    std::vector<PresentToken> tokens;
    CK_ULONG count = 0;
    if (module->C_GetSlotList(CK_TRUE, nullptr, &count) != CKR_OK || count == 0)
        return tokens;
    std::vector<CK_SLOT_ID> slotIds(count);
    if (module->C_GetSlotList(CK_TRUE, slotIds.data(), &count) != CKR_OK)
        return tokens;
    slotIds.resize(count);
    for (CK_SLOT_ID slot : slotIds) {
        CK_TOKEN_INFO info = {};
        if (module->C_GetTokenInfo(slot, &info) != CKR_OK)
            continue; // pulled out since the slot list was read
        tokens.push_back({slot, TokenIdentity{paddedText(info.manufacturerID, sizeof info.manufacturerID),
                                              paddedText(info.serialNumber, sizeof info.serialNumber),
                                              paddedText(info.label, sizeof info.label)}});
    }
    std::sort(tokens.begin(), tokens.end(),
              [](const PresentToken& a, const PresentToken& b) { return a.identity < b.identity; });
    return tokens;
}

} // namespace

std::vector<TokenCertificate> readTokenStore() {
    std::vector<TokenCertificate> store;
    const ModuleSet modules;
    std::set<TokenIdentity> seen;
    for (CK_FUNCTION_LIST* module : modules.modules()) {
        for (const PresentToken& token : tokensOf(module)) {
            if (!seen.insert(token.identity).second)
                continue;
            for (TokenCertificate& cert : certificatesOn(module, token.slot, token.identity))
                store.push_back(std::move(cert));
        }
    }
    return store;
}

} // namespace kyt::certinfo
