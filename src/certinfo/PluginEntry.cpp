// The exports by which the object registry creates this library's objects.

#include "certinfo/ClsCertMain.h"
#include "platform/PluginAbi.h"

#include <cstring>

namespace {
constexpr const char* kCertMainId = "KYTCertInfo.ClsCertMain";
constexpr const char* const kObjectIds[] = {kCertMainId, nullptr};
} // namespace

KYT_PLUGIN_EXPORT QObject* kyt_create_object(const char* progId) {
    if (!progId || std::strcmp(progId, kCertMainId) != 0)
        return nullptr;
    try {
        return new kyt::certinfo::ClsCertMain();
    } catch (...) {
        return nullptr;
    }
}

KYT_PLUGIN_EXPORT const char* const* kyt_object_ids() {
    return kObjectIds;
}
