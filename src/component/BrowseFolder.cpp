#include "component/ClsMain.h"
#include "component/Module1.h"

#include <QDir>

QString BrowseFolder(ClsMain& ClsObj, QWidget* owner) {
    QString folder;
    // The picker starts at the root of the file system and names it above its tree.
    kyt::ErrorTrap::silent()([&] {
        folder = ClsObj.services()
                     .dialogs->pickFolder(owner, QDir::toNativeSeparators(QDir::rootPath()))
                     .value_or(QString());
    });
    return folder;
}
