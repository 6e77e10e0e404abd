#pragma once

#include <QString>

namespace kyt::certinfo {

// The texts by which the component reports that it has no certificate or no value.
enum class Failure {
    NotReadable,   // "-1": cannot be opened, is no certificate, or nothing was chosen
    WrongPassword, // "-2"
    Other,         // "-3": anything else, such as an encryption we cannot read
};

inline QString codeText(Failure failure) {
    switch (failure) {
    case Failure::NotReadable:
        return QStringLiteral("-1");
    case Failure::WrongPassword:
        return QStringLiteral("-2");
    case Failure::Other:
        break;
    }
    return QStringLiteral("-3");
}

} // namespace kyt::certinfo
