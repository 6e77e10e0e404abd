#include "platform/Error.h"

namespace kyt {

Error::Error(ErrorRecord record) : record_(std::move(record)), what_(record_.description.toUtf8()) {}

void raise(int number, const QString& description, const QString& source) {
    throw Error(ErrorRecord{number, description, source});
}

} // namespace kyt
