#include "host/Command.h"

#include "store/ListOutput.h"

#include <algorithm>
#include <QCommandLineParser>
#include <QHash>

namespace {
QString unknownArgument(const QString& argument) {
    return QStringLiteral("Unknown argument \"%1\"; try dscmgr --help.").arg(argument);
}

bool names(const CommandOption& option, const QString& name) {
    return option.option.names().contains(name);
}

bool takesValue(const CommandOption& option) {
    return !option.option.valueName().isEmpty() && !option.valueOptional;
}

// The parser does not know an optional value: "--expiring 30" becomes "--expiring=30" and a bare
// "--expiring" "--expiring=", so that the option always has one. The value of another option is
// passed on as it is, also when it looks like an option.
QStringList withOptionalValues(const QStringList& arguments, const QList<CommandOption>& options) {
    QStringList out;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        out << argument;
        if (!argument.startsWith(QLatin1String("--")) || argument.contains(QLatin1Char('=')))
            continue;
        for (const CommandOption& option : options) {
            if (!names(option, argument.mid(2)))
                continue;
            const bool valued = i + 1 < arguments.size();
            if (option.valueOptional) {
                const bool given = valued && !arguments[i + 1].startsWith(QLatin1String("--"));
                out.last() += QLatin1Char('=') + (given ? arguments[++i] : QString());
            } else if (takesValue(option) && valued) {
                out << arguments[++i];
            }
        }
    }
    return out;
}

// The parser names an option it does not know without its dashes; the message quotes the argument
// as it was typed.
QString typedArgument(const QStringList& arguments, const QString& name) {
    for (const QString& a : arguments)
        if (a == QLatin1String("--") + name || a == QLatin1Char('-') + name ||
            a.startsWith(QLatin1String("--") + name + QLatin1Char('=')))
            return a;
    for (const QString& a : arguments)
        if (a.startsWith(QLatin1Char('-')) && !a.startsWith(QLatin1String("--")) && a.contains(name))
            return a;
    return QLatin1Char('-') + name;
}

// Why the parser refused the arguments, in the words the command line has always used.
QString whyRefused(const QCommandLineParser& parser, const QStringList& arguments,
                   const QList<CommandOption>& options) {
    if (!parser.unknownOptionNames().isEmpty())
        return unknownArgument(typedArgument(arguments, parser.unknownOptionNames().constFirst()));
    // Only the last argument can be an option missing its value.
    const QString last = arguments.isEmpty() ? QString() : arguments.last();
    for (const CommandOption& option : options)
        if (takesValue(option) && (last == QLatin1String("--") + option.option.names().constFirst()))
            return option.missingValue.isEmpty() ? QStringLiteral("%1 needs a value.").arg(last) : option.missingValue;
    // Else a flag was given a value, "--csv=1".
    for (const QString& a : arguments)
        if (a.startsWith(QLatin1Char('-')) && a.contains(QLatin1Char('=')))
            return unknownArgument(a);
    return parser.errorText();
}

QString optionSyntax(const CommandOption& option) {
    QStringList spelled;
    for (const QString& name : option.option.names())
        spelled << (name.size() == 1 ? QLatin1String("-") : QLatin1String("--")) + name;
    QString syntax = spelled.join(QStringLiteral(", "));
    const QString value = option.option.valueName();
    if (!value.isEmpty())
        syntax += option.valueOptional ? QStringLiteral(" [%1]").arg(value) : QLatin1Char(' ') + value;
    return syntax;
}

const QCommandLineOption& helpOption() {
    static const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                         QStringLiteral("shows this help"));
    return help;
}

const QCommandLineOption& versionOption() {
    static const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("shows the version"));
    return version;
}
} // namespace

CommandOption flagOption(const QString& name, const QString& description, bool HostOptions::*flag) {
    return {QCommandLineOption(name, description), [flag](const QString&, HostOptions& o) {
                o.*flag = true;
                return QString();
            }};
}

bool Console::delivered() {
    return flushedInFull(out);
}

int Console::unwritten(const QString& what) {
    err << "dscmgr: " << what << " could not be written in full.\n";
    err.flush();
    return 2;
}

QString Command::takeArguments(const QStringList& arguments, HostOptions&) const {
    return arguments.isEmpty() ? QString() : unknownArgument(arguments.constFirst());
}

std::optional<HostOptions> Command::parse(const QStringList& arguments, QString* error) const {
    const QList<CommandOption> all = options();
    auto fail = [&](const QString& why) -> std::optional<HostOptions> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    QCommandLineParser parser;
    parser.addOption(helpOption());
    parser.addOption(versionOption());
    for (const CommandOption& option : all)
        parser.addOption(option.option);
    const QStringList given = withOptionalValues(arguments, all);
    if (!parser.parse(QStringList{QStringLiteral("dscmgr")} + given))
        return fail(whyRefused(parser, given, all));

    HostOptions o;
    o.command = name();
    o.readsOnly = readsOnly();
    o.window = opensWindow();
    // In the order given, so that a later option wins over an earlier one, as it always has.
    QHash<const CommandOption*, qsizetype> used;
    for (const QString& found : parser.optionNames()) {
        if (helpOption().names().contains(found)) {
            o.help = true;
            continue;
        }
        if (found == versionOption().names().constFirst()) {
            o.version = true;
            continue;
        }
        const auto option =
            std::find_if(all.begin(), all.end(), [&](const CommandOption& each) { return names(each, found); });
        const QString value = parser.values(found).value(used[&*option]++);
        if (const QString why = option->apply(value, o); !why.isEmpty())
            return fail(why);
    }
    if (const QString why = takeArguments(parser.positionalArguments(), o); !why.isEmpty())
        return fail(why);
    if (o.help || o.version)
        return o;
    if (const QString why = check(o); !why.isEmpty())
        return fail(why);
    return o;
}

QStringList Command::allNotes() const {
    QStringList notes;
    for (const CommandOption& option : options())
        if (!option.note.isEmpty() && !(option.option.flags() & QCommandLineOption::HiddenFromHelp))
            notes << option.note;
    notes << help_.notes;
    notes.removeDuplicates();
    return notes;
}

QString Command::help() const {
    QList<std::pair<QString, QString>> rows;
    for (const CommandOption& option : options())
        if (!(option.option.flags() & QCommandLineOption::HiddenFromHelp))
            rows.append({optionSyntax(option), option.option.description()});
    rows.append({QStringLiteral("-h, --help"), helpOption().description()});
    qsizetype width = 0;
    for (const auto& row : rows)
        width = std::max(width, row.first.size());

    QString text = QStringLiteral("Usage:\n") + help_.synopsis + QLatin1Char('\n') + help_.description +
                   QStringLiteral("\n\nOptions:\n");
    for (const auto& [syntax, description] : rows)
        text += QStringLiteral("  ") + syntax.leftJustified(width + 2) + description + QLatin1Char('\n');
    const QStringList notes = allNotes();
    if (!notes.isEmpty())
        text += QLatin1Char('\n') + notes.join(QString());
    return text;
}
