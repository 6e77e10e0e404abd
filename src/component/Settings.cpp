#include "component/ClsMain.h"

#include "platform/ProfileFile.h"
#include "platform/RegularFile.h"

QString ClsMain::settingsFile() const {
    return DocPath + QStringLiteral("/Confg.ini");
}

QString ClsMain::GetSettingINI(const QString& Section, const QString& Key, const QString& DefVal) {
    QString value;
    kyt::ErrorTrap trap(this, QStringLiteral("CLSMAIN"), QStringLiteral("GETSETTININI"));
    trap([&] {
        value = kyt::ProfileFile(settingsFile()).read(Section, Key, DefVal);
        // A settings file that is no file at all (a pipe, a device) gives the default, as one that
        // cannot be read does; the log says what stands there instead.
        if (const QString why = kyt::whyNotRegularFile(settingsFile());
            !why.isEmpty() && !kyt::pathIsAbsent(settingsFile()))
            kyt::raise(kyt::errnum::FileAccess, settingsFile() + QLatin1Char(' ') + why, QStringLiteral("KYTDscMgr"));
    });
    return value;
}

void ClsMain::SaveSettingINI(const QString& Section, const QString& Key, const QString& KeyVal) {
    if (DocPath.isEmpty())
        return;
    kyt::ErrorTrap trap(this, QStringLiteral("CLSMAIN"), QStringLiteral("SAVESETTININI"));
    trap([&] { kyt::ProfileFile(settingsFile()).write(Section, Key, KeyVal); });
}
