#pragma once

#include <QString>
#include <sys/types.h>

namespace kyt {

// What stands at a path that is not a regular file, as the rest of a sentence that starts with
// the path: "is a named pipe (FIFO), not a regular file". Empty for a regular file.
QString notRegularFileReason(mode_t mode);

// Whether others than its owner may add or replace names in `folder`: it has the sticky bit (a
// shared temporary folder) or every user may write to it.
bool othersMayWrite(const QString& folder);

} // namespace kyt
