#include "platform/PluginAbi.h"
#include "report/ReportViewer.h"

#include <strings.h>

namespace {
const char* const kIds[] = {"PrjKYTLumen.ClsMain", "PrjLumen.RepView", "PrjQuill.RepView", nullptr};
}

KYT_PLUGIN_EXPORT QObject* kyt_create_object(const char* progId) {
    for (const char* const* id = kIds; *id; ++id)
        if (progId && strcasecmp(progId, *id) == 0)
            return new ReportViewer(QString::fromLatin1(*id));
    return nullptr;
}

KYT_PLUGIN_EXPORT const char* const* kyt_object_ids() {
    return kIds;
}
