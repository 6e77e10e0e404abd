#include "platform/Services.h"

#include <QCoreApplication>

namespace kyt {

Services Services::production() {
    Services s;
    s.dialogs = std::make_shared<QtDialogs>();
    s.clock = std::make_shared<Clock>();
    s.objects = std::make_shared<ObjectRegistry>(ObjectRegistry::defaultRegistryFile());
    s.desktop = std::make_shared<Desktop>();
    s.systemFolder = programFolder();
    return s;
}

QString Services::programFolder() {
    const QString env = qEnvironmentVariable("KYT_SYSTEM_FOLDER");
    if (!env.isEmpty())
        return env;
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
}

} // namespace kyt
