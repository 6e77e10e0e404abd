#include "host/CertAccess.h"

#include "component/ClsMain.h"
#include "component/Module1.h"
#include "host/ConsoleDialogs.h"
#include "host/HostOptions.h"
#include "host/HostSession.h"

#include <algorithm>
#include <memory>
#include <QDir>
#include <QFileInfo>

std::shared_ptr<ClsMain> openCertComponent(const HostOptions& options, QTextStream& err) {
    kyt::Services services = kyt::Services::production();
    // Loader messages go to the error stream, so that the output holds nothing but data.
    services.dialogs = std::make_shared<ConsoleDialogs>(err);
    auto component = std::make_shared<ClsMain>(std::move(services));
    // Errors are logged where the register logs them; a folder that cannot be made only loses the log.
    const QString folder = options.resolvedFolder();
    QDir().mkpath(folder);
    component->DocPath = folder;
    component->LogFlNm = options.log;
    if (!attachCertObject(*component, err))
        return nullptr;
    return component;
}

std::optional<QString> certificatePassword(const HostOptions& options, const QStringList& files, const QString& prompt,
                                           QTextStream& err) {
    const bool bundle = std::any_of(files.begin(), files.end(), [](const QString& file) {
        const QString suffix = QFileInfo(file).suffix().toLower();
        return suffix == QLatin1String("pfx") || suffix == QLatin1String("p12");
    });
    const PasswordAnswer answer =
        obtainPassword({options.password, options.passwordFile, QStringLiteral("KYT_PASSWORD"), prompt}, bundle);
    if (!answer.error.isEmpty()) {
        err << "dscmgr: " << answer.error << '\n';
        err.flush();
        return std::nullopt;
    }
    return answer.password.value_or(QString());
}

// The component is registered here, in this process, when the registry does not name a library that
// exists: the loader's own registration runs detached and may not have finished in time.
bool attachCertObject(ClsMain& component, QTextStream& err) {
    QString why;
    if (!HostSession::registerCertComponent(*component.services().objects, kyt::Services::programFolder(), &why))
        err << "dscmgr: the certificate component cannot be registered: " << why << '\n';
    CreateCertObject(component);
    if (!component.PdfObj) {
        err << "dscmgr: the certificate component is not available.\n";
        err.flush();
        return false;
    }
    return true;
}
