#include "host/CertInfoCommand.h"

#include "component/ClsMain.h"
#include "host/CertAccess.h"
#include "store/ListOutput.h"
#include "host/SharedOptions.h"
#include "platform/ShownText.h"

#include <QFileInfo>

namespace {
constexpr int kReadFile = -2;
constexpr short kDetails = 8;
// The details' names, by detail number; the JSON keys too.
const char* const kLabels[kDetails] = {"Error", "Name", "Type", "Serial", "Issuer", "Valid from", "Valid to", "E-mail"};
} // namespace

CertInfoCommand::CertInfoCommand()
    : Command({QStringLiteral("certinfo"),
               QStringLiteral("  dscmgr certinfo [--json] FILE [--password PASSWORD | --password-file FILE]\n"
                              "  dscmgr certinfo [--json] --store INDEX\n"),
               QStringLiteral("Shows the details of a certificate file, or of a certificate of the store (see dscmgr "
                              "store)."),
               {}}) {}

QList<CommandOption> CertInfoCommand::options() const {
    const CommandOption store{QCommandLineOption(QStringLiteral("store"),
                                                 QStringLiteral("the store certificate of this index, from 0"),
                                                 QStringLiteral("INDEX")),
                              [](const QString& value, HostOptions& o) {
                                  bool ok = false;
                                  o.storeIndex = value.toInt(&ok);
                                  return ok ? QString() : QStringLiteral("--store takes a certificate index.");
                              },
                              false, QStringLiteral("--store takes a certificate index.")};
    return QList<CommandOption>{sharedoption::folder(), sharedoption::log(),
                                sharedoption::json(QStringLiteral("one JSON object keyed by the details' names")),
                                store} +
           sharedoption::certificatePassword();
}

QString CertInfoCommand::takeArguments(const QStringList& arguments, HostOptions& options) const {
    if (arguments.size() > 1)
        return Command::takeArguments(arguments.mid(1), options);
    options.certFile = arguments.value(0);
    return {};
}

QString CertInfoCommand::check(const HostOptions& options) const {
    if (const QString why = sharedoption::passwordGivenOnce(options); !why.isEmpty())
        return why;
    if (options.certFile.isEmpty() && !options.storeIndex)
        return QStringLiteral("certinfo needs a certificate file or --store INDEX.");
    return {};
}

int CertInfoCommand::run(const HostOptions& options, Console& console) const {
    QTextStream& out = console.out;
    QTextStream& err = console.err;
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
    if (!console.delivered())
        return console.unwritten(QStringLiteral("the certificate's details"));
    if (details[0].isEmpty())
        return 0;
    // Detail 0 keeps its fixed text; why reading failed goes to the error stream.
    const QString what = options.storeIndex ? QStringLiteral("store certificate %1").arg(*options.storeIndex)
                                            : shown::terminalCell(options.certFile);
    err << "dscmgr: " << what << ": " << component->failureReason() << '\n';
    err.flush();
    return 1;
}
