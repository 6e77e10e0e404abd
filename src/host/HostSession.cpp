#include "host/HostSession.h"

#include "platform/LibraryRegistration.h"
#include "platform/RegularFile.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace {
// A folder the register is only read from is used as it is: neither made nor written to (without
// it the settings take their defaults, and a register file in it is missing). One that may be
// written to is created when missing and must take new files.
bool prepareFolder(const QString& folder, bool readsOnly, QString* error) {
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir()) {
        *error = QStringLiteral("Cannot use the folder %1: it is a file.").arg(folder);
        return false;
    }
    if (readsOnly)
        return true;
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("Cannot use the folder %1: it cannot be created.").arg(folder);
        return false;
    }
    QTemporaryFile probe(folder + QStringLiteral("/.dscmgr-XXXXXX"));
    if (!probe.open()) {
        *error = QStringLiteral("Cannot use the folder %1: it is not writable.").arg(folder);
        return false;
    }
    return true;
}
} // namespace

void HostSession::registerReportComponents(const kyt::ObjectRegistry& registry, const QString& programFolder) {
    const QString library = programFolder + QStringLiteral("/libKYTReport.so");
    if (QFileInfo::exists(library))
        kyt::registerLibraryUnlessKnown(registry,
                                        {QStringLiteral("PrjKYTLumen.ClsMain"), QStringLiteral("PrjLumen.RepView"),
                                         QStringLiteral("PrjQuill.RepView")},
                                        library);
}

bool HostSession::registerCertComponent(const kyt::ObjectRegistry& registry, const QString& programFolder,
                                        QString* error) {
    return kyt::registerLibraryUnlessKnown(registry, {QStringLiteral("KYTCertInfo.ClsCertMain")},
                                           programFolder + QStringLiteral("/libKYTCertInfo.so"), error);
}

std::unique_ptr<HostSession> HostSession::open(const HostOptions& options, kyt::Services services, QString* error) {
    const std::shared_ptr<kyt::Dialogs> dialogs = services.dialogs;
    auto session = openSession(options, std::move(services), error);
    // The window is started from the desktop's menu, where nobody reads what goes to the terminal.
    if (!session && options.window && dialogs)
        dialogs->information(nullptr, *error);
    return session;
}

std::unique_ptr<HostSession> HostSession::openSession(const HostOptions& options, kyt::Services services,
                                                      QString* error) {
    auto session = std::unique_ptr<HostSession>(new HostSession);
    session->options_ = options;
    session->folder_ = options.resolvedFolder();
    QString why;
    const QString dbText = options.db.isEmpty()
                               ? QStringLiteral("sqlite:") + session->folder_ + QStringLiteral("/KYTDscMgr.db")
                               : options.db;
    const auto address = kyt::DbAddress::parse(dbText, &why);
    if (!address) {
        *error = why;
        return nullptr;
    }
    session->address_ = dbText;
    // Listing and checking only read: the folder is taken as it is and an SQLite file must exist;
    // both are left exactly as they are, also when this user may not write to them.
    if (!prepareFolder(session->folder_, options.readsOnly, &why)) {
        *error = why;
        return nullptr;
    }
    // Read by every command on the register: a settings file that is no file would hang it or
    // never end, so it is refused before anything is read or written.
    const QString settings = session->folder_ + QStringLiteral("/Confg.ini");
    if (const QString why = kyt::whyNotRegularFile(settings); !why.isEmpty() && !kyt::pathIsAbsent(settings)) {
        *error = QStringLiteral("the settings file %1 %2.").arg(settings, why);
        return nullptr;
    }
    session->db_ =
        kyt::Db::open(*address, &why, options.readsOnly ? kyt::Db::Access::ReadOnly : kyt::Db::Access::ReadWrite);
    if (!session->db_) {
        *error = why;
        return nullptr;
    }
    registerReportComponents(*services.objects, kyt::Services::programFolder());
    // Registered here as the certificate commands do: the loader's own registration runs
    // detached and would not be done in time for the first "Certificate (File)".
    registerCertComponent(*services.objects, kyt::Services::programFolder());
    session->component_ = std::make_shared<ClsMain>(std::move(services));
    return session;
}

bool HostSession::initMe(bool chkOnly) {
    return component_->InitMe(QString(), chkOnly, folder_, db_, options_.log, options_.scaleX, options_.scaleY,
                              options_.scaleFont);
}

ClsMain& HostSession::componentOnRegister() {
    component_->DocPath = folder_;
    component_->Db = db_;
    component_->LogFlNm = options_.log;
    return *component_;
}

bool HostSession::reportUnreadable(QTextStream& err) const {
    const kyt::ErrorRecord& error = component_->firstTrappedError();
    if (!error.isSet())
        return false;
    err << "dscmgr: the register cannot be read: " << error.description.simplified() << '\n';
    err.flush();
    return true;
}
