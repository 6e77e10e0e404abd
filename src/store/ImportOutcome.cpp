#include "store/ImportOutcome.h"

#include "store/BulkImporter.h"

#include <algorithm>

namespace bulk {

bool ImportOutcome::isImported(const QString& status) {
    return status == kImported;
}

ImportOutcome ImportOutcome::of(const QStringList& statuses) {
    ImportOutcome outcome;
    for (const QString& status : statuses) {
        if (status.isEmpty()) {
            ++outcome.pending;
        } else if (isImported(status)) {
            ++outcome.imported;
        } else if (status == kDuplicateSerial) {
            ++outcome.duplicates;
        } else if (status.startsWith(kNotImported)) {
            ++outcome.notImported;
            const QString reason = status.mid(kNotImported.size());
            auto known = std::find_if(outcome.reasons.begin(), outcome.reasons.end(),
                                      [&](const QPair<QString, int>& r) { return r.first == reason; });
            if (known == outcome.reasons.end())
                outcome.reasons.append({reason, 1});
            else
                ++known->second;
        } else {
            // Any other status was set while reading: the file or certificate could not be read.
            ++outcome.unreadable;
        }
    }
    return outcome;
}

QString ImportOutcome::detail() const {
    const auto rows = [](int n) { return n == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(n); };
    QStringList lines;
    if (duplicates > 0)
        lines << QStringLiteral("%1 not imported: the serial number is in the register already.").arg(rows(duplicates));
    if (notImported > 0) {
        lines << QStringLiteral("%1 not imported:").arg(rows(notImported));
        for (const auto& [reason, count] : reasons)
            lines << QStringLiteral("  %1 (%2)").arg(reason, rows(count));
    }
    if (unreadable > 0)
        lines << QStringLiteral("%1 unreadable: the file or certificate could not be read.").arg(rows(unreadable));
    if (pending > 0)
        lines << QStringLiteral("%1 not tried: the import stopped before them.").arg(rows(pending));
    return lines.join(QLatin1Char('\n'));
}

} // namespace bulk
