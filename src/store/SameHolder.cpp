#include "store/SameHolder.h"

namespace sameholder {

QString folded(const QString& text) {
    return text.simplified().toCaseFolded();
}

bool sameHolder(const HolderIdentity& a, const HolderIdentity& b) {
    if (folded(a.name) != folded(b.name) || folded(a.type) != folded(b.type))
        return false;
    const auto agree = [](const QString& x, const QString& y) {
        const QString fx = folded(x);
        return !fx.isEmpty() && fx == folded(y);
    };
    return agree(a.email, b.email) || agree(a.mobile, b.mobile) || agree(a.idProofNo, b.idProofNo);
}

} // namespace sameholder
