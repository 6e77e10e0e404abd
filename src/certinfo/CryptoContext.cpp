#include "certinfo/CryptoContext.h"

#include <openssl/err.h>

namespace kyt::certinfo {

CryptoContext::CryptoContext() : context_(OSSL_LIB_CTX_new()) {
    // Loading into a null context would load into the process-wide one; never do that.
    if (context_) {
        default_.reset(OSSL_PROVIDER_load(context_.get(), "default"));
        legacy_.reset(OSSL_PROVIDER_load(context_.get(), "legacy"));
    }
    // A missing legacy module only costs the old encryptions; reading those then fails with "-3".
    ERR_clear_error();
}

CryptoContext::~CryptoContext() {
    legacy_.reset();
    default_.reset();
}

CryptoContext::Activation::Activation(const CryptoContext& context)
    : previous_(context.get() ? OSSL_LIB_CTX_set0_default(context.get()) : nullptr) {}

CryptoContext::Activation::~Activation() {
    if (previous_)
        OSSL_LIB_CTX_set0_default(previous_);
}

} // namespace kyt::certinfo
