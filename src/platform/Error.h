#pragma once

#include <exception>
#include <QString>

namespace kyt {

// The error being handled: number (0 means none), description and the name of whatever raised it.
struct ErrorRecord {
    int number = 0;
    QString description;
    QString source;

    bool isSet() const { return number != 0; }
    void clear() { *this = ErrorRecord{}; }
};

// Raised by a failing step; a trap (ErrorTrap.h) turns it into the current error.
class Error : public std::exception {
public:
    explicit Error(ErrorRecord record);
    const ErrorRecord& record() const { return record_; }
    const char* what() const noexcept override { return what_.constData(); }

private:
    ErrorRecord record_;
    QByteArray what_;
};

[[noreturn]] void raise(int number, const QString& description, const QString& source);

// Error numbers the component raises itself.
namespace errnum {
constexpr int ObjectRequired = 91;
constexpr int CannotCreateObject = 429;
constexpr int NoSuchMember = 438;
constexpr int FileNotFound = 53;
constexpr int PathNotFound = 76;
constexpr int PermissionDenied = 70;
constexpr int FileAccess = 75;
constexpr int Database = -2147467259;
// The connection to the database was lost and could not be made again, or was lost while a change
// ran, so that whether it was carried out is not known.
constexpr int DatabaseUnreachable = 3709;
constexpr int Unexpected = 51;
// The register's write lock (or the record-number lock on a server) stayed with another desk.
constexpr int RegisterBusy = 3704;
} // namespace errnum

} // namespace kyt
