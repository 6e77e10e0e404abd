#include "component/ClsMain.h"

#include "platform/ProfileFile.h"

QString ClsMain::settingsFile() const {
    return DocPath + QStringLiteral("/Confg.ini");
}

QString ClsMain::GetSettingINI(const QString& Section, const QString& Key, const QString& DefVal) {
    QString value;
    kyt::ErrorTrap trap(this, QStringLiteral("CLSMAIN"), QStringLiteral("GETSETTININI"));
    trap([&] { value = kyt::ProfileFile(settingsFile()).read(Section, Key, DefVal); });
    return value;
}

void ClsMain::SaveSettingINI(const QString& Section, const QString& Key, const QString& KeyVal) {
    if (DocPath.isEmpty())
        return;
    kyt::ErrorTrap trap(this, QStringLiteral("CLSMAIN"), QStringLiteral("SAVESETTININI"));
    trap([&] { kyt::ProfileFile(settingsFile()).write(Section, Key, KeyVal); });
}
