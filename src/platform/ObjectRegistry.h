#pragma once

#include <memory>
#include <QObject>
#include <QString>
#include <QVariant>

namespace kyt {

// A counted reference to an outside object.
using ObjectRef = std::shared_ptr<QObject>;

// Every plugin library exports this factory. It returns a new object for a programmatic
// identifier it serves, or nullptr for one it does not know.
using CreateObjectFn = QObject* (*)(const char* progId);
inline constexpr const char* kCreateObjectSymbol = "kyt_create_object";

// Maps programmatic identifiers such as "KYTCertInfo.ClsCertMain" to plugin libraries. The map
// is a small settings file (section "Objects", identifier = library path), written by the
// registration program and read on every creation, so a registration made meanwhile is seen.
class ObjectRegistry {
public:
    explicit ObjectRegistry(QString registryFile);

    // $KYT_OBJECT_REGISTRY when set, else ~/.config/kytdscmgr/objects.ini.
    static QString defaultRegistryFile();

    const QString& file() const { return file_; }
    QString libraryFor(const QString& progId) const;
    bool isRegistered(const QString& progId) const { return !libraryFor(progId).isEmpty(); }
    void registerObject(const QString& progId, const QString& libraryPath) const;
    void unregisterObject(const QString& progId) const;

    // Creates an object; raises error 429 when the identifier is not registered or its library
    // cannot be loaded or does not make it.
    ObjectRef create(const QString& progId) const;

private:
    QString file_;
};

// Calls a member of an outside object by name, as late binding does: the object's invokable
// method with that name and number of arguments. Raises 91 for no object, 438 for no such member.
QVariant callByName(QObject* object, const char* member, const QVariantList& args = {});

// Sets a property of an outside object by name, as a late-bound assignment does. Raises 91 for no
// object, 438 when it has no such property or refuses the value.
void setPropertyByName(QObject* object, const char* property, const QVariant& value);

} // namespace kyt
