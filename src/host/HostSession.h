#pragma once

#include "component/ClsMain.h"
#include "host/HostOptions.h"

#include <memory>
#include <QTextStream>

// What the host holds while the component is loaded: its folder, its open database connection
// and the component instance.
class HostSession {
public:
    // Prepares the folder (a command that only reads uses it as it is; otherwise it is created
    // when missing and must be writable), registers the report
    // components found beside the program and opens the database. Nothing, with a one-line
    // reason, when any of it cannot be had; for the window the reason is also shown in a message.
    static std::unique_ptr<HostSession> open(const HostOptions& options, kyt::Services services, QString* error);

    bool initMe(bool chkOnly);
    // The component pointed at this session's folder, database and error log, as the commands that
    // read or write the register use it without a window.
    ClsMain& componentOnRegister();
    // A register that could not be read in full: its first error as one line on `err`; true then.
    // Such a register lists nothing, as a heading alone would read as "no certificates".
    bool reportUnreadable(QTextStream& err) const;

    const HostOptions& options() const { return options_; }
    const QString& folder() const { return folder_; }
    const std::shared_ptr<kyt::Db>& db() const { return db_; }
    // The address the database was opened by, for another connection to the same register.
    const QString& address() const { return address_; }
    const std::shared_ptr<ClsMain>& component() const { return component_; }

    // Records the report identifiers of the report library beside the program, unless each of
    // them already names a library that exists.
    static void registerReportComponents(const kyt::ObjectRegistry& registry, const QString& programFolder);
    // Records the certificate component beside the program, unless its identifier already names a
    // library that exists, so that its first use finds it. False, with the reason, when it cannot.
    static bool registerCertComponent(const kyt::ObjectRegistry& registry, const QString& programFolder,
                                      QString* error = nullptr);

private:
    static std::unique_ptr<HostSession> openSession(const HostOptions& options, kyt::Services services, QString* error);

    HostOptions options_;
    QString folder_;
    QString address_;
    std::shared_ptr<kyt::Db> db_;
    std::shared_ptr<ClsMain> component_;
};
