// The database address parser on any text: an address it accepts is complete, and its shown form
// names the user and host.

#include "platform/DbAddress.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    const auto address = kyt::DbAddress::parse(text, &error);
    if (!address) {
        if (error.isEmpty())
            std::abort();
        return 0;
    }
    const QString shown = address->display();
    if (address->kind == kyt::DbAddress::Kind::SQLite ? address->path.isEmpty()
                                                      : address->user.isEmpty() || address->host.isEmpty() ||
                                                            address->database.isEmpty() || address->timeoutSeconds < 1)
        std::abort();
    // The shown form names the user and host and never carries the password.
    if (address->kind == kyt::DbAddress::Kind::MySQL &&
        !shown.startsWith(QStringLiteral("mysql://") + address->user + QLatin1Char('@') + address->host))
        std::abort();
    return 0;
}
