#pragma once

#include "host/Command.h"

#include <vector>

// dscmgr's commands, and the command line that picks one:
//   dscmgr [COMMAND] [OPTIONS] [ARGUMENTS]
// Without a command the window opens; `dscmgr help [COMMAND]` and `-h` show the help.
namespace commandline {
struct Invocation {
    const Command* command = nullptr; // none for the general help and the version
    HostOptions options;
};

// Every command, in the order the help shows them.
const std::vector<std::unique_ptr<Command>>& commands();
const Command* find(const QString& name);

// Parses the arguments (without the program name); nothing, with a one-line reason, when unusable.
std::optional<Invocation> parse(const QStringList& arguments, QString* error);
// The help of all commands: their usage lines, then the notes.
QString usage();
QString version();
} // namespace commandline
