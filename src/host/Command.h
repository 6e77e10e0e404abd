#pragma once

#include "host/HostOptions.h"

#include <functional>
#include <memory>
#include <optional>
#include <QCommandLineOption>
#include <QList>
#include <QTextStream>

// Where a command writes: its data on `out`, its messages on `err`.
struct Console {
    QTextStream& out;
    QTextStream& err;

    // Pushes what was written on `out` to its file or pipe; false when any of it did not get there
    // (a full disk, a closed pipe).
    bool delivered();
    // Says that `what` could not be written in full, and gives the exit status for it, 2: a script
    // must not take a part for the whole.
    int unwritten(const QString& what);
};

// One option a command takes and what it sets. `apply` gets the option's value (empty for a flag)
// and returns why that value is unusable, or an empty text.
struct CommandOption {
    QCommandLineOption option;
    std::function<QString(const QString& value, HostOptions& options)> apply;
    // "--expiring [DAYS]": the next argument is its value only when it is no "--" option.
    bool valueOptional = false;
    // Said when the value is missing; empty: "--NAME needs a value."
    QString missingValue = {};
    // A paragraph the help adds for the option, such as what an address looks like.
    QString note = {};
};

// An option that only switches a flag on.
CommandOption flagOption(const QString& name, const QString& description, bool HostOptions::*flag);

// An option whose value is kept as given, in a text or an optional text.
template <typename Text>
CommandOption textOption(const QString& name, const QString& valueName, const QString& description,
                         Text HostOptions::*field) {
    return {QCommandLineOption(name, description, valueName), [field](const QString& value, HostOptions& o) {
                o.*field = value;
                return QString();
            }};
}

// What the help says about a command.
struct CommandHelp {
    QString name;
    QString synopsis;    // its usage lines, each starting "  dscmgr" and ending with a line break
    QString description; // what it does, ahead of its options in its own help
    QStringList notes;   // paragraphs after the options, in its own help and in the general one
};

// One of dscmgr's commands: its name, the options it takes, its help and what it does. The options
// are read by QCommandLineParser, so that each command's help (`dscmgr NAME -h`) lists them.
class Command {
public:
    explicit Command(CommandHelp help) : help_(std::move(help)) {}
    virtual ~Command() = default;
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    const QString& name() const { return help_.name; }
    const QString& synopsis() const { return help_.synopsis; }
    virtual QList<CommandOption> options() const = 0;
    // The arguments that are no options, such as files to read; a command takes none by default.
    // Returns why they are unusable, or an empty text.
    virtual QString takeArguments(const QStringList& arguments, HostOptions& options) const;
    // Checks the options as a whole, once all are read; returns why they do not go together.
    virtual QString check(const HostOptions&) const { return {}; }
    // A command that only reads the register leaves its folder and file exactly as they are.
    virtual bool readsOnly() const { return false; }
    // A command that opens a window needs a display, and shows its errors in messages too.
    virtual bool opensWindow() const { return false; }

    // Exit status 0 when done, 1 when done with findings or failures it reports, 2 when it could not
    // be carried out.
    virtual int run(const HostOptions& options, Console& console) const = 0;

    // Reads the arguments after the command's name; nothing, with a one-line reason, when unusable.
    std::optional<HostOptions> parse(const QStringList& arguments, QString* error) const;
    // Its own help: usage, description, options and notes.
    QString help() const;
    // The notes of its options, then its own.
    QStringList allNotes() const;

private:
    CommandHelp help_;
};
