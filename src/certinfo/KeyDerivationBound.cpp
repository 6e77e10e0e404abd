#include "certinfo/KeyDerivationBound.h"

#include "certinfo/OpenSslHandles.h"

#include <cstring>
#include <limits>
#include <openssl/err.h>

namespace kyt::certinfo {

namespace {

constexpr long long kUnbounded = std::numeric_limits<long long>::max();

// An integer parameter as a round count; one that does not fit counts as unbounded work.
long long roundsOf(const ASN1_INTEGER* value) {
    int64_t n = 0;
    if (!value)
        return 1;
    if (ASN1_INTEGER_get_int64(&n, value) != 1)
        return kUnbounded;
    return n < 1 ? 1 : n;
}

long long product(long long a, long long b) {
    return a > kUnbounded / b ? kUnbounded : a * b;
}

// The rounds a password-based encryption algorithm asks for: PBES2 with PBKDF2 or scrypt, or the
// older schemes that carry a salt and a count. Anything else is not a derivation we can measure
// and is left to the library, which refuses what it does not know.
long long roundsOf(const X509_ALGOR* algorithm) {
    const ASN1_OBJECT* oid = nullptr;
    X509_ALGOR_get0(&oid, nullptr, nullptr, algorithm);
    const ASN1_TYPE* parameter = algorithm->parameter;
    if (!parameter)
        return 0;
    if (OBJ_obj2nid(oid) != NID_pbes2) {
        const PbeParamPtr pbe(static_cast<PBEPARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBEPARAM), parameter)));
        return pbe ? roundsOf(pbe->iter) : 0;
    }
    const Pbe2ParamPtr pbe2(static_cast<PBE2PARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBE2PARAM), parameter)));
    if (!pbe2 || !pbe2->keyfunc || !pbe2->keyfunc->parameter)
        return 0;
    const ASN1_TYPE* kdfParameter = pbe2->keyfunc->parameter;
    switch (OBJ_obj2nid(pbe2->keyfunc->algorithm)) {
    case NID_id_pbkdf2: {
        const Pbkdf2ParamPtr kdf(
            static_cast<PBKDF2PARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBKDF2PARAM), kdfParameter)));
        return kdf ? roundsOf(kdf->iter) : 0;
    }
    case NID_id_scrypt: {
        // Its work grows with the cost, the block size and the parallelism alike.
        const ScryptParamsPtr kdf(
            static_cast<SCRYPT_PARAMS*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(SCRYPT_PARAMS), kdfParameter)));
        if (!kdf)
            return 0;
        return product(product(roundsOf(kdf->costParameter), roundsOf(kdf->blockSize)),
                       roundsOf(kdf->parallelizationParameter));
    }
    default:
        return 0;
    }
}

// Adds the work of one derivation; false once a bound is passed.
class RoundBudget {
public:
    bool spend(long long rounds) {
        if (rounds > kMostRoundsPerDerivation)
            return false;
        total_ += rounds;
        return total_ <= kMostRoundsPerBundle;
    }

private:
    long long total_ = 0;
};

bool bagsWithinBound(const STACK_OF(PKCS12_SAFEBAG) * bags, RoundBudget& budget, int depth) {
    // Nested bags are legal but real files do not nest; a deep nest is only there to exhaust the stack.
    if (depth > 8)
        return false;
    for (int i = 0; i < sk_PKCS12_SAFEBAG_num(bags); ++i) {
        const PKCS12_SAFEBAG* bag = sk_PKCS12_SAFEBAG_value(bags, i);
        switch (PKCS12_SAFEBAG_get_nid(bag)) {
        case NID_pkcs8ShroudedKeyBag: {
            const X509_ALGOR* algorithm = nullptr;
            X509_SIG_get0(PKCS12_SAFEBAG_get0_pkcs8(bag), &algorithm, nullptr);
            if (algorithm && !budget.spend(roundsOf(algorithm)))
                return false;
            break;
        }
        case NID_safeContentsBag:
            if (!bagsWithinBound(PKCS12_SAFEBAG_get0_safes(bag), budget, depth + 1))
                return false;
            break;
        default:
            break;
        }
    }
    return true;
}

} // namespace

bool exceedsKeyDerivationBound(PKCS12* bundle, const QByteArray& password) {
    RoundBudget budget;
    const ASN1_INTEGER* macRounds = nullptr;
    PKCS12_get0_mac(nullptr, nullptr, nullptr, &macRounds, bundle);
    if (PKCS12_mac_present(bundle) && !budget.spend(roundsOf(macRounds)))
        return true;
    // The password as the parser will use it. An empty one stands for "none" unless only the
    // empty text opens the MAC, as exporters differ.
    const char* used = password.constData();
    if (password.isEmpty())
        used = !PKCS12_mac_present(bundle) || PKCS12_verify_mac(bundle, nullptr, 0) ? nullptr : "";
    const Pkcs7StackPtr parts(PKCS12_unpack_authsafes(bundle));
    if (!parts)
        return false; // not readable at all: the parser says so
    const int usedLength = used ? int(std::strlen(used)) : 0;
    for (int i = 0; i < sk_PKCS7_num(parts.get()); ++i) {
        PKCS7* part = sk_PKCS7_value(parts.get(), i);
        SafeBagStackPtr bags;
        switch (OBJ_obj2nid(part->type)) {
        case NID_pkcs7_data:
            bags.reset(PKCS12_unpack_p7data(part));
            break;
        case NID_pkcs7_encrypted:
            if (!part->d.encrypted || !part->d.encrypted->enc_data)
                break;
            if (!budget.spend(roundsOf(part->d.encrypted->enc_data->algorithm)))
                return true;
            bags.reset(PKCS12_unpack_p7encdata(part, used, usedLength));
            break;
        default:
            break;
        }
        if (bags && !bagsWithinBound(bags.get(), budget, 0))
            return true;
    }
    // What went wrong while looking (a wrong password, for one) the parser meets again and reports.
    ERR_clear_error();
    return false;
}

} // namespace kyt::certinfo
