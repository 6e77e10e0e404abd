#pragma once

#include "platform/Error.h"

#include <QString>
#include <utility>

namespace kyt {

// Receives an error that a logging trap caught, with the place it happened ("module<TAB>PROCEDURE").
class ErrorSink {
public:
    virtual ~ErrorSink() = default;
    virtual void logTrappedError(const ErrorRecord& error, const QString& procName) = 0;
};

// Runs the steps of one procedure. A step that fails is logged (logging trap) or dropped (silent
// trap), and the procedure goes on with its next step, so no exception leaves it.
//
//     ErrorTrap trap(ClsObj, "frmDscMain", "LOADGRID");
//     trap([&] { rs = db.openRowSet(sql); });
class ErrorTrap {
public:
    ErrorTrap(ErrorSink* sink, const QString& module, const QString& procedure)
        : sink_(sink), procName_(module + QLatin1Char('\t') + procedure) {}
    static ErrorTrap silent() { return ErrorTrap(nullptr, {}, {}); }

    // Runs one step; true when it finished without an error.
    template <class Step> bool operator()(Step&& step) noexcept {
        try {
            std::forward<Step>(step)();
            return true;
        } catch (const Error& e) {
            report(e.record());
        } catch (const std::exception& e) {
            report(ErrorRecord{errnum::Unexpected, QString::fromLocal8Bit(e.what()), QStringLiteral("KYTDscMgr")});
        } catch (...) {
            report(ErrorRecord{errnum::Unexpected, QStringLiteral("Unexpected error"), QStringLiteral("KYTDscMgr")});
        }
        return false;
    }

    // The last error this trap caught (cleared by clearLastError or by a later success check).
    const ErrorRecord& lastError() const { return last_; }
    void clearLastError() { last_.clear(); }

private:
    void report(const ErrorRecord& error) noexcept;

    ErrorSink* sink_;
    QString procName_;
    ErrorRecord last_;
};

} // namespace kyt
