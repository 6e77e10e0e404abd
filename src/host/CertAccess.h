#pragma once

#include "host/PasswordSource.h"

#include <memory>
#include <QStringList>
#include <QTextStream>

class ClsMain;
struct HostOptions;

// The password for certificate files: --password, --password-file, KYT_PASSWORD, or a question on
// the terminal (only when one of `files` is a key bundle, the kind that has a password). Nothing,
// after saying why on `err`, when a named source fails; an empty password when none is given.
std::optional<QString> certificatePassword(const HostOptions& options, const QStringList& files, const QString& prompt,
                                           QTextStream& err);

// Gives the component its certificate information object, registering the component first when
// needed; false, after saying why on `err`, when it cannot be had.
bool attachCertObject(ClsMain& component, QTextStream& err);

// The component with its certificate information object, logging into the command's folder;
// nothing, after saying why on `err`.
std::shared_ptr<ClsMain> openCertComponent(const HostOptions& options, QTextStream& err);
