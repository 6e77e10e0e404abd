#pragma once

#include "host/Command.h"

// The options several commands take, declared once: what they are called, what they say in the
// help and what they set.
namespace sharedoption {
CommandOption folder();
CommandOption db();
CommandOption log();
// --folder, --db and --log: where the register is, for every command that opens it.
QList<CommandOption> registerPlace();
// --expired and --expiring [DAYS]: the filters of the register's list.
QList<CommandOption> listFilter();
// --password and --password-file for certificate files.
QList<CommandOption> certificatePassword();
CommandOption passwordFile(const QString& description);
CommandOption json(const QString& description);

// Why the certificate password was given twice over, or an empty text.
QString passwordGivenOnce(const HostOptions& options);
} // namespace sharedoption
