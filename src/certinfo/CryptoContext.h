#pragma once

#include "certinfo/OpenSslHandles.h"

namespace kyt::certinfo {

// A library context of our own with the "default" and "legacy" providers loaded. Files exported
// by older tools encrypt with RC2-40 or 3DES, which only the legacy provider offers; loading it
// here keeps us independent of the system configuration file and leaves the host's own use of
// the library untouched.
class CryptoContext {
public:
    CryptoContext();
    CryptoContext(const CryptoContext&) = delete;
    CryptoContext& operator=(const CryptoContext&) = delete;
    ~CryptoContext();

    OSSL_LIB_CTX* get() const { return context_.get(); }
    bool hasLegacyAlgorithms() const { return legacy_ != nullptr; }

    // Makes this context the thread's default while it lives. The library's parsing routines fetch
    // their algorithms from the default context, so this is how they see the legacy provider.
    class Activation {
    public:
        explicit Activation(const CryptoContext& context);
        Activation(const Activation&) = delete;
        Activation& operator=(const Activation&) = delete;
        ~Activation();

    private:
        OSSL_LIB_CTX* previous_;
    };

private:
    // Declared first so it is freed last, after the providers loaded into it.
    LibCtxPtr context_;
    ProviderPtr default_;
    ProviderPtr legacy_;
};

} // namespace kyt::certinfo
