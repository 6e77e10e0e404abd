#pragma once

#include "platform/ErrorTrap.h"

#include <array>
#include <QString>
#include <QStringList>

class ClsMain;

// Reading the details of listed certificate files and store certificates, one entry at a time.
// The wizard runs these steps with its progress page; `dscmgr import` runs them in a plain loop.
namespace bulk {

// The kind of a file entry in the file list; a store entry holds its 0-based store index instead.
inline const QString kFileKind = QStringLiteral("FL");
inline const QString kStoreEntryPrefix = QStringLiteral("Certificate Store : ");
inline const QString kFileNotFound = QStringLiteral("File not found");
inline const QString kInvalidCertificate = QStringLiteral("Invalid Certificate Information.");

// The results grid's columns: number, file name, the seven details, status.
inline constexpr int kNameColumn = 1;
inline constexpr int kFirstDetailColumn = 2;
inline constexpr int kDetailCount = 7;
inline constexpr int kStatusColumn = kFirstDetailColumn + kDetailCount;
const QStringList& ResultHeadings();

// One entry of the file list: a certificate file (kind "FL") or a store certificate (kind = its
// store index as text, name = "Certificate Store : " and its 1-based position).
struct ListEntry {
    QString name;
    QString kind;
};

// What reading one entry gives: the results grid's file name, the seven details (certificate name,
// type, serial number, issuing authority, valid from, valid to, e-mail) and the status, empty when
// the row can be imported.
struct ReadResult {
    QString fileName;
    std::array<QString, kDetailCount> details;
    QString status;
    QString reason; // why a certificate could not be read, beside its status ("wrong password")
};

// The file's name without its four-character extension; the path itself when there is no file.
QString GetFileTitle(const QString& path);

// The entries directly in a folder (not in its subfolders), by name: every file whatever its
// extension, hidden ones included, and what the user should hear about instead of its being
// skipped: named pipes, sockets, devices, dangling links and subfolders that cannot be read.
QStringList FolderFiles(const QString& folder);

// What tells two paths apart as list entries: the file they name (device and inode), so that
// names differing only in letter case are two entries and two links to one file are one; the
// path itself when it names nothing.
QString FileIdentity(const QString& path);

// Why a listed path cannot be read as a certificate file, without opening anything that is not a
// regular file (a named pipe would never answer); empty when it can be read.
QString WhyNotReadable(const QString& path);

// Reads one entry through GetSignInfo and GetCertInfo. `password` is used for a file entry. A failing
// step is handled by `trap` and the reading goes on, so every entry ends as a result.
ReadResult ReadEntry(ClsMain& cls, const ListEntry& entry, const QString& password, kyt::ErrorTrap& trap);

} // namespace bulk
