#pragma once

#include "platform/ObjectRegistry.h"

#include <QString>

namespace kyt {

// Loads a component library, asks it which identifiers it serves (kyt_object_ids) and records
// each of them in the registry with the library's absolute path. False, with the reason in
// `error` when given, if the library cannot be loaded or is not a component library.
bool registerLibrary(const ObjectRegistry& registry, const QString& libraryPath, QString* error = nullptr);

// Registers the library unless every one of `ids` already names a library that exists and is not
// another copy of this one (a library of the same file name in another folder). A library of
// another name, registered on purpose in its place, stays. True when the ids are usable
// afterwards (already known, or registered now).
bool registerLibraryUnlessKnown(const ObjectRegistry& registry, const QStringList& ids, const QString& libraryPath,
                                QString* error = nullptr);

} // namespace kyt
