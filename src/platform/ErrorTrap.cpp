#include "platform/ErrorTrap.h"

namespace kyt {

void ErrorTrap::report(const ErrorRecord& error) noexcept {
    last_ = error;
    if (!sink_)
        return;
    try {
        sink_->logTrappedError(error, procName_);
    } catch (...) {
        // Logging must never take down the procedure it reports on.
    }
}

} // namespace kyt
