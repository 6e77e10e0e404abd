#pragma once

#include <QString>
#include <QStringList>

namespace bulk {

// What an import run did with its rows, counted from their statuses after the run: imported,
// duplicates (serial number already in the register), rows the register refused (with each reason
// and how many rows it stopped) and rows whose certificate could not be read at all.
struct ImportOutcome {
    int imported = 0;
    int duplicates = 0;
    int notImported = 0;
    QList<QPair<QString, int>> reasons; // why rows were not imported, in the order first met
    int unreadable = 0;
    int pending = 0; // rows without a status: the run stopped before them

    static ImportOutcome of(const QStringList& statuses);
    // Whether a row with this status is in the register now.
    static bool isImported(const QString& status);
    // The detail text under "N Records Transferred.": a line for each kind of row left out; empty
    // when every row was imported.
    QString detail() const;
};

} // namespace bulk
