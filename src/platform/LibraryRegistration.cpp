#include "platform/LibraryRegistration.h"

#include "platform/PluginAbi.h"

#include <QFileInfo>
#include <QLibrary>
#include <QStringList>

namespace kyt {

namespace {
bool fail(QString* error, const QString& why) {
    if (error)
        *error = why;
    return false;
}
} // namespace

bool registerLibrary(const ObjectRegistry& registry, const QString& libraryPath, QString* error) {
    const QFileInfo info(libraryPath);
    if (!info.isFile())
        return fail(error, QStringLiteral("%1: no such file.").arg(libraryPath));
    const QString absolutePath = info.absoluteFilePath();
    // Left loaded: creating the objects later loads the same library again anyway.
    QLibrary library(absolutePath);
    if (!library.load())
        return fail(error, library.errorString());
    const auto objectIds = reinterpret_cast<ObjectIdsFn>(library.resolve(kObjectIdsSymbol));
    if (!objectIds || !library.resolve(kCreateObjectSymbol))
        return fail(error, QStringLiteral("%1 is not a component library.").arg(absolutePath));
    QStringList ids;
    for (const char* const* id = objectIds(); id && *id; ++id)
        ids << QString::fromUtf8(*id);
    if (ids.isEmpty())
        return fail(error, QStringLiteral("%1 serves no objects.").arg(absolutePath));
    for (const QString& id : ids)
        registry.registerObject(id, absolutePath);
    return true;
}

bool registerLibraryUnlessKnown(const ObjectRegistry& registry, const QStringList& ids, const QString& libraryPath,
                                QString* error) {
    const QFileInfo ours(libraryPath);
    for (const QString& id : ids) {
        const QFileInfo known(registry.libraryFor(id));
        // A library of the same name elsewhere is another copy of this one, left by an older
        // build or installation: the program's own copy replaces it.
        const bool otherCopy =
            known.fileName() == ours.fileName() && known.canonicalFilePath() != ours.canonicalFilePath();
        if (registry.libraryFor(id).isEmpty() || !known.exists() || otherCopy)
            return registerLibrary(registry, libraryPath, error);
    }
    return true;
}

} // namespace kyt
