#include "component/ClsMain.h"
#include "component/Module1.h"

#include <openssl/crypto.h>
#include <QDir>
#include <QFileInfo>

namespace {

const QString kCertObjectId = QStringLiteral("KYTCertInfo.ClsCertMain");
// What plays the registration program and the component file in the system folder.
const QString kRegistrarProgram = QStringLiteral("kytregister");
const QString kComponentFile = QStringLiteral("libKYTCertInfo.so");
// Where a user without the runtime the component needs (OpenSSL 3 and its legacy provider) is sent.
const QString kRuntimeDownloadPage = QStringLiteral("https://www.openssl.org/source/");

void tryCreate(ClsMain& ClsObj) {
    kyt::ErrorTrap::silent()([&] { ClsObj.PdfObj = ClsObj.services().objects->create(kCertObjectId); });
}

// The folder OpenSSL loads its provider modules from: $OPENSSL_MODULES, else the folder the
// library was built with. The runtime's "install root".
QString providerModulesFolder() {
    const QString env = qEnvironmentVariable("OPENSSL_MODULES");
    if (!env.isEmpty())
        return env;
    const char* builtIn = OpenSSL_version(OPENSSL_MODULES_DIR);
    QString folder = builtIn ? QString::fromLocal8Bit(builtIn) : QString();
    // The library reports it as 'MODULESDIR: "/path"'.
    const qsizetype open = folder.indexOf(QLatin1Char('"'));
    const qsizetype close = folder.lastIndexOf(QLatin1Char('"'));
    return open >= 0 && close > open ? folder.mid(open + 1, close - open - 1) : QString();
}

} // namespace

void CreateCertObject(ClsMain& ClsObj) {
    ClsObj.PdfObj.reset();
    tryCreate(ClsObj);
    if (!ClsObj.PdfObj) {
        RegisterCertComponent(ClsObj);
        tryCreate(ClsObj);
    }
    if (ClsObj.PdfObj)
        return;
    kyt::ErrorTrap::silent()([&] {
        kyt::Dialogs& dialogs = *ClsObj.services().dialogs;
        if (IsDotNetInstalled(ClsObj)) {
            dialogs.information(nullptr, QStringLiteral("Could not Create PDF Signer Object."));
        } else if (dialogs.question(nullptr,
                                    QStringLiteral("You must have .Net Framework installed on your machine to use "
                                                   "this feature. Do you want to Download it Now?"),
                                    kyt::Answer::Yes) == kyt::Answer::Yes) {
            ClsObj.services().desktop->openUrl(kRuntimeDownloadPage);
        }
    });
}

void RegisterCertComponent(ClsMain& ClsObj) {
    kyt::ErrorTrap::silent()([&] {
        QString folder = ClsObj.services().systemFolder;
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        const QString program = folder + kRegistrarProgram;
        const QString component = folder + kComponentFile;
        // Started on its own and not waited for; only the next creation attempt shows whether it worked.
        if (QFileInfo::exists(program) && QFileInfo::exists(component))
            ClsObj.services().desktop->startDetached(
                program, {component, QStringLiteral("/codebase"), QStringLiteral("/silent")});
    });
}

bool IsDotNetInstalled(ClsMain&) {
    // OpenSSL 3 or later, with the legacy provider module that the old bundle encryptions need.
    if (OpenSSL_version_num() < 0x30000000L)
        return false;
    const QString folder = providerModulesFolder();
    const QDir modules(folder);
    return !folder.isEmpty() && modules.exists() &&
           !modules.entryList({QStringLiteral("legacy.*")}, QDir::Files).isEmpty();
}
