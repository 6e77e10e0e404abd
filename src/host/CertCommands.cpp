#include "host/CertCommands.h"

#include "component/ClsMain.h"
#include "component/Module1.h"
#include "host/ConsoleDialogs.h"
#include "host/HostOptions.h"
#include "host/HostSession.h"
#include "host/ListOutput.h"
#include "platform/ShownText.h"

#include <algorithm>
#include <memory>
#include <QDir>
#include <QFileInfo>

namespace {
constexpr int kReadFile = -2;
constexpr short kDetails = 8;
// The details' names, by detail number; the JSON keys too.
const char* const kLabels[kDetails] = {"Error", "Name", "Type", "Serial", "Issuer", "Valid from", "Valid to", "E-mail"};

// The component with its certificate information object, or nothing after saying why.
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
} // namespace

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

int runCertInfoCommand(const HostOptions& options, QTextStream& out, QTextStream& err) {
    // The chooser of selector -1 needs a person at a screen, which the command line never has.
    if (options.storeIndex && *options.storeIndex < 0) {
        err << "dscmgr: --store takes the index of a store certificate, from 0 (see dscmgr store).\n";
        return 2;
    }
    std::optional<QString> password;
    if (!options.storeIndex) {
        const QString file = QFileInfo(options.certFile).absoluteFilePath();
        password = certificatePassword(options, {file},
                                       QStringLiteral("Password for %1: ").arg(QFileInfo(file).fileName()), err);
        if (!password)
            return 2;
    }
    const auto component = openCertComponent(options, err);
    if (!component)
        return 2;
    if (options.storeIndex)
        component->GetSignInfo(QString(), QString(), *options.storeIndex);
    else
        component->GetSignInfo(QFileInfo(options.certFile).absoluteFilePath(), *password, kReadFile);
    QStringList details;
    for (short i = 0; i < kDetails; ++i)
        details << component->GetCertInfo(i);
    if (options.json) {
        out << '{';
        for (short i = 0; i < kDetails; ++i)
            out << (i ? ",\n " : "") << JsonOutput::quoted(QLatin1String(kLabels[i])) << ':'
                << JsonOutput::quoted(details[i]);
        out << "}\n";
    } else {
        for (short i = 0; i < kDetails; ++i)
            out << kLabels[i] << ": " << shown::terminalCell(details[i]) << '\n';
    }
    out.flush();
    return details[0].isEmpty() ? 0 : 1;
}

int runStoreCommand(const HostOptions& options, QTextStream& out, QTextStream& err) {
    const auto component = openCertComponent(options, err);
    if (!component)
        return 2;
    QVariantList store;
    const bool listed =
        kyt::ErrorTrap::silent()([&] { store = kyt::callByName(component->PdfObj.get(), "GetStoreList").toList(); });
    if (!listed) {
        err << "dscmgr: the certificate store cannot be listed.\n";
        return 2;
    }
    if (store.isEmpty()) {
        err << "dscmgr: no signing token with a certificate is present.\n";
        return 1;
    }
    for (int i = 0; i < store.size(); ++i) {
        const QVariantMap entry = store[i].toMap();
        out << i << '\t' << shown::terminalCell(entry.value(QStringLiteral("holder")).toString()) << '\t'
            << shown::terminalCell(entry.value(QStringLiteral("issuer")).toString()) << '\t'
            << entry.value(QStringLiteral("validTo")).toString() << '\n';
    }
    out.flush();
    return 0;
}
