#pragma once

#include <QDateTime>

namespace kyt {

// Everything that reads "now" asks a clock, so tests can fix the time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }
};

} // namespace kyt
