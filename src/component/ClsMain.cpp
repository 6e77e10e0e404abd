#include "component/ClsMain.h"

ClsMain::ClsMain(kyt::Services services) : services_(std::move(services)) {}

ClsMain::~ClsMain() = default;

void ClsMain::forgetRegisterWindow() {
    window_ = nullptr;
}

void ClsMain::logTrappedError(const kyt::ErrorRecord& error, const QString& procName) {
    if (!firstTrapped_.isSet())
        firstTrapped_ = error;
    err_ = error;
    Proc_Name = procName;
    DoErrorLogEntry();
    err_.clear();
}
