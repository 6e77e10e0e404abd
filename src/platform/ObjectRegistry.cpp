#include "platform/ObjectRegistry.h"

#include "platform/Error.h"
#include "platform/ProfileFile.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QMetaMethod>
#include <QStandardPaths>

namespace kyt {

namespace {
const QString kSection = QStringLiteral("Objects");

[[noreturn]] void cannotCreate(const QString& progId, const QString& why) {
    raise(errnum::CannotCreateObject, QStringLiteral("Cannot create object %1: %2").arg(progId, why), progId);
}
} // namespace

ObjectRegistry::ObjectRegistry(QString registryFile) : file_(std::move(registryFile)) {}

QString ObjectRegistry::defaultRegistryFile() {
    const QString env = qEnvironmentVariable("KYT_OBJECT_REGISTRY");
    if (!env.isEmpty())
        return env;
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/kytdscmgr/objects.ini");
}

QString ObjectRegistry::libraryFor(const QString& progId) const {
    return ProfileFile(file_).read(kSection, progId, {});
}

void ObjectRegistry::registerObject(const QString& progId, const QString& libraryPath) const {
    QDir().mkpath(QFileInfo(file_).absolutePath());
    ProfileFile(file_).write(kSection, progId, QFileInfo(libraryPath).absoluteFilePath());
}

void ObjectRegistry::unregisterObject(const QString& progId) const {
    ProfileFile(file_).remove(kSection, progId);
}

ObjectRef ObjectRegistry::create(const QString& progId) const {
    const QString path = libraryFor(progId);
    if (path.isEmpty())
        cannotCreate(progId, QStringLiteral("the component is not registered."));
    // The library stays loaded for the life of the process: objects it made may outlive any handle.
    QLibrary lib(path);
    if (!lib.load())
        cannotCreate(progId, lib.errorString());
    auto factory = reinterpret_cast<CreateObjectFn>(lib.resolve(kCreateObjectSymbol));
    if (!factory)
        cannotCreate(progId, QStringLiteral("%1 is not a component library.").arg(path));
    const QByteArray id = progId.toUtf8();
    QObject* object = nullptr;
    try {
        object = factory(id.constData());
    } catch (...) {
        object = nullptr;
    }
    if (!object)
        cannotCreate(progId, QStringLiteral("%1 does not provide it.").arg(path));
    return ObjectRef(object);
}

QVariant callByName(QObject* object, const char* member, const QVariantList& args) {
    if (!object)
        raise(errnum::ObjectRequired, QStringLiteral("Object variable not set"), QStringLiteral("KYTDscMgr"));
    const QMetaObject* meta = object->metaObject();
    const QByteArray name(member);
    for (int i = meta->methodCount() - 1; i >= 0; --i) {
        const QMetaMethod method = meta->method(i);
        if (method.name() != name || method.parameterCount() != args.size())
            continue;
        if (args.size() > 10)
            break;
        // Arguments: QVariant parameters take the variant itself, others a converted copy.
        // The type names must outlive the call: invoke reads them, and the metaobject hands out copies.
        QVariantList converted = args;
        QByteArray typeNames[10];
        QGenericArgument argv[10];
        for (int p = 0; p < args.size(); ++p) {
            const int type = method.parameterType(p);
            if (type != QMetaType::QVariant && !converted[p].convert(QMetaType(type)))
                raise(13, QStringLiteral("Type mismatch"), QString::fromLatin1(meta->className()));
            void* data = type == QMetaType::QVariant ? static_cast<void*>(&converted[p]) : converted[p].data();
            typeNames[p] = method.parameterTypeName(p);
            argv[p] = QGenericArgument(typeNames[p].constData(), data);
        }
        QVariant result;
        QGenericReturnArgument ret;
        const int returnType = method.returnType();
        if (returnType == QMetaType::QVariant) {
            ret = QGenericReturnArgument("QVariant", &result);
        } else if (returnType != QMetaType::Void) {
            result = QVariant(QMetaType(returnType));
            ret = QGenericReturnArgument(method.typeName(), result.data());
        }
        if (!method.invoke(object, Qt::DirectConnection, ret, argv[0], argv[1], argv[2], argv[3], argv[4], argv[5],
                           argv[6], argv[7], argv[8], argv[9]))
            break;
        return result;
    }
    raise(errnum::NoSuchMember, QStringLiteral("Object doesn't support this property or method"),
          QString::fromLatin1(meta->className()));
}

void setPropertyByName(QObject* object, const char* property, const QVariant& value) {
    if (!object)
        raise(errnum::ObjectRequired, QStringLiteral("Object variable not set"), QStringLiteral("KYTDscMgr"));
    const QMetaObject* meta = object->metaObject();
    const int index = meta->indexOfProperty(property);
    // A dynamic property would accept any name: only a declared, writable one counts.
    if (index < 0 || !meta->property(index).write(object, value))
        raise(errnum::NoSuchMember, QStringLiteral("Object doesn't support this property or method"),
              QString::fromLatin1(meta->className()));
}

} // namespace kyt
