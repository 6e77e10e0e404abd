#pragma once

#include "host/PasswordSource.h"

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

// `dscmgr certinfo FILE [password source]` and `dscmgr certinfo --store INDEX`: the eight
// certificate details, one line each, "Name: " and the text (on one line, fit for a terminal), or
// with --json one object keyed by those names. Exit status 0 when
// the certificate was read (detail 0 empty), 1 when not, 2 when the command cannot be run.
int runCertInfoCommand(const HostOptions& options, QTextStream& out, QTextStream& err);
// `dscmgr store`: one line per certificate of the store: index, holder, issuer and valid-to date,
// TAB-separated. Exit status 0; 1 with a line on `err` when no token holds a certificate; 2 when the certificate
// component cannot be had.
int runStoreCommand(const HostOptions& options, QTextStream& out, QTextStream& err);
