#include "host/CommandLine.h"

#include "host/BackupCommand.h"
#include "host/CertInfoCommand.h"
#include "host/CheckCommand.h"
#include "host/HistoryCommand.h"
#include "host/ImportCommand.h"
#include "host/LinkCommand.h"
#include "host/ListCommand.h"
#include "host/RemindCommand.h"
#include "host/RenewalsCommand.h"
#include "host/ReportCommand.h"
#include "host/StoreCommand.h"
#include "host/WindowCommand.h"

namespace commandline {
namespace {
std::vector<std::unique_ptr<Command>> makeCommands() {
    std::vector<std::unique_ptr<Command>> all;
    all.push_back(std::make_unique<WindowCommand>());
    all.push_back(std::make_unique<ListCommand>());
    all.push_back(std::make_unique<ReportCommand>());
    all.push_back(std::make_unique<CheckCommand>());
    all.push_back(std::make_unique<CertInfoCommand>());
    all.push_back(std::make_unique<StoreCommand>());
    all.push_back(std::make_unique<RemindCommand>());
    all.push_back(std::make_unique<ImportCommand>());
    all.push_back(std::make_unique<HistoryCommand>());
    all.push_back(std::make_unique<RestoreDeletedCommand>());
    all.push_back(std::make_unique<BackupCommand>());
    all.push_back(std::make_unique<RestoreCommand>());
    all.push_back(std::make_unique<RenewalsCommand>());
    all.push_back(std::make_unique<LinkCommand>());
    all.push_back(std::make_unique<UnlinkCommand>());
    return all;
}

QString unknownCommand(const QString& name) {
    return QStringLiteral("Unknown command \"%1\"; try dscmgr --help.").arg(name);
}
} // namespace

const std::vector<std::unique_ptr<Command>>& commands() {
    static const std::vector<std::unique_ptr<Command>> all = makeCommands();
    return all;
}

const Command* find(const QString& name) {
    for (const auto& command : commands())
        if (command->name() == name)
            return command.get();
    return nullptr;
}

std::optional<Invocation> parse(const QStringList& arguments, QString* error) {
    auto fail = [&](const QString& why) -> std::optional<Invocation> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    // Without a command the window opens, and -h is the help of them all.
    if (arguments.isEmpty() || arguments[0].startsWith(QLatin1Char('-'))) {
        const Command* window = find(QStringLiteral("gui"));
        auto options = window->parse(arguments, error);
        if (!options)
            return std::nullopt;
        return Invocation{options->help ? nullptr : window, *options};
    }
    const QString name = arguments[0];
    if (name == QLatin1String("help")) {
        Invocation help;
        help.options.help = true;
        const QString topic = arguments.value(1);
        if (!topic.isEmpty() && !topic.startsWith(QLatin1Char('-')) && !(help.command = find(topic)))
            return fail(unknownCommand(topic));
        return help;
    }
    const Command* command = find(name);
    if (!command)
        return fail(unknownCommand(name));
    auto options = command->parse(arguments.mid(1), error);
    if (!options)
        return std::nullopt;
    return Invocation{command, *options};
}

QString usage() {
    QString text = QStringLiteral("Usage:\n");
    QStringList notes;
    for (const auto& command : commands()) {
        text += command->synopsis();
        notes << command->allNotes();
    }
    notes.removeDuplicates();
    return text +
           QStringLiteral("  dscmgr --version\n"
                          "  dscmgr COMMAND -h   the options of one command\n") +
           notes.join(QString());
}

QString version() {
    return QStringLiteral("dscmgr (KYTDscMgr) " KYT_VERSION "\n");
}
} // namespace commandline
