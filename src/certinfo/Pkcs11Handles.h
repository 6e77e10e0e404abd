#pragma once

// Owning handles for PKCS#11 modules, sessions and object searches reached through p11-kit.

#include <p11-kit/p11-kit.h>

#include <memory>

namespace kyt::certinfo {

// The NULL-terminated list of registered modules, loaded and initialised by p11-kit.
struct RegisteredModulesDeleter {
    void operator()(CK_FUNCTION_LIST** modules) const noexcept { p11_kit_modules_finalize_and_release(modules); }
};
using RegisteredModulesPtr = std::unique_ptr<CK_FUNCTION_LIST*, RegisteredModulesDeleter>;

// One module loaded from a path and initialised.
struct LoadedModuleDeleter {
    void operator()(CK_FUNCTION_LIST* module) const noexcept {
        p11_kit_module_finalize(module);
        p11_kit_module_release(module);
    }
};
using LoadedModulePtr = std::unique_ptr<CK_FUNCTION_LIST, LoadedModuleDeleter>;

// A text that p11-kit allocated with malloc.
struct MallocDeleter {
    void operator()(char* p) const noexcept { free(p); }
};
using P11KitTextPtr = std::unique_ptr<char, MallocDeleter>;

// A read-only session on a token; closed when it goes.
class Pkcs11Session {
public:
    Pkcs11Session(CK_FUNCTION_LIST* module, CK_SLOT_ID slot) : module_(module) {
        opened_ = module_->C_OpenSession(slot, CKF_SERIAL_SESSION, nullptr, nullptr, &handle_) == CKR_OK;
    }
    Pkcs11Session(const Pkcs11Session&) = delete;
    Pkcs11Session& operator=(const Pkcs11Session&) = delete;
    ~Pkcs11Session() {
        if (opened_)
            module_->C_CloseSession(handle_);
    }

    bool isOpen() const { return opened_; }
    CK_SESSION_HANDLE handle() const { return handle_; }

private:
    CK_FUNCTION_LIST* module_;
    CK_SESSION_HANDLE handle_ = 0;
    bool opened_ = false;
};

// An object search in a session; finished when it goes.
class Pkcs11Search {
public:
    Pkcs11Search(CK_FUNCTION_LIST* module, CK_SESSION_HANDLE session, CK_ATTRIBUTE* query, CK_ULONG queryLength)
        : module_(module), session_(session) {
        started_ = module_->C_FindObjectsInit(session_, query, queryLength) == CKR_OK;
    }
    Pkcs11Search(const Pkcs11Search&) = delete;
    Pkcs11Search& operator=(const Pkcs11Search&) = delete;
    ~Pkcs11Search() {
        if (started_)
            module_->C_FindObjectsFinal(session_);
    }

    bool isStarted() const { return started_; }

private:
    CK_FUNCTION_LIST* module_;
    CK_SESSION_HANDLE session_;
    bool started_ = false;
};

} // namespace kyt::certinfo
