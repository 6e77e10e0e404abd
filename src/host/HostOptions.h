#pragma once

#include <optional>
#include <QString>
#include <QStringList>

// What a run of the host program was asked to do: the command (see CommandLine for them all) and
// its options.
struct HostOptions {
    QString command = QStringLiteral("gui"); // the command's name
    bool help = false;                       // -h: its help instead
    bool version = false;                    // --version
    bool readsOnly = false;                  // the command only reads the register
    bool window = false;                     // the command opens a window
    enum class Filter { All, Expired, Expiring, Due, RecentlyExpired } filter = Filter::All;
    std::optional<QString> expiringDays; // --expiring DAYS; none: the DSCDays setting
    std::optional<QString> queueDays;    // list --due DAYS, --recently-expired DAYS; none: 30
    QString folder;                      // empty: the default folder
    QString db;                          // empty: SQLite in the folder
    QString log = QStringLiteral("KYTDscMgr.log");
    float scaleX = 1, scaleY = 1, scaleFont = 1;
    QString certFile;
    std::optional<QString> password;
    QString passwordFile; // --password-file: the password is its first line
    std::optional<int> storeIndex;
    bool notify = false;                // check: also tell the desktop
    bool csv = false;                   // list as CSV
    bool csvRaw = false;                // list as CSV, cells as stored
    bool noBom = false;                 // CSV without the byte-order mark
    bool json = false;                  // list or certinfo as JSON
    QString xlsxFile;                   // list --xlsx FILE
    QString pdfFile;                    // report --pdf FILE
    std::optional<QList<int>> columns;  // report --columns: print column rows; none: the saved choice
    QStringList importPaths;            // import: certificate files and folders
    std::optional<QString> dscType;     // import --type; none: each certificate's own type
    QString idProofType, addrProofType; // import --id-proof, --addr-proof
    bool carryOver = false;             // import: renewals take over the older record's details
    int oldSrNo = 0, newSrNo = 0;       // link, unlink: OLD NEW

    // remind
    std::optional<QList<int>> remindSteps; // --days; none: the Steps setting
    bool dryRun = false;                   // list what would be sent, send and mark nothing
    QString summaryTo;                     // where the summary goes; empty: the sender address

    // history, restore-deleted
    int srNo = 0;  // the record; 0: every record
    QString since; // --since, as "YYYY-MM-DD"; empty: from the start

    // backup, restore
    QString archive;      // the archive FILE
    bool verify = false;  // backup --verify: check the archive, write nothing
    bool replace = false; // restore over a register that is not empty, after backing it up

    // Parses arguments (without the program name); nothing, with a one-line reason, when unusable.
    static std::optional<HostOptions> parse(const QStringList& args, QString* error);
    static QString defaultFolder();
    // The host folder as an absolute, clean path: --folder, or the default folder.
    QString resolvedFolder() const;
};
