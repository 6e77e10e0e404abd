#pragma once

#include "platform/ReplacingFile.h"

#include <QString>

// The file operations behind a record's proof documents. Every operation that changes the disk
// raises kyt::Error when it fails, so the caller's logging trap records it; none of them asks the
// user anything.
namespace DocumentFiles {

bool fileExists(const QString& path);
bool folderExists(const QString& path);

// Creates one folder whose parent already exists.
void makeFolder(const QString& path);
// Copies source to target, replacing a file already at target. The old target stays untouched
// when the copy cannot be completed.
void copyOver(const QString& source, const QString& target,
              kyt::ReplacingFile::Durability durability = kyt::ReplacingFile::Durability::Now);
// Deletes a file, also when it is read-only.
void deleteFile(const QString& path);
// Deletes a folder with everything in it, also read-only files and folders.
void deleteFolderTree(const QString& path);

// The name and extension of a path, without its folder.
QString fileName(const QString& path);
// Paths are compared after conversion to upper case, whatever the file system's own rules.
bool samePath(const QString& a, const QString& b);
// Whether two existing paths name one file: on a file system that tells letter case apart,
// "pan.pdf" and "PAN.PDF" are two files.
bool sameFile(const QString& a, const QString& b);

} // namespace DocumentFiles
