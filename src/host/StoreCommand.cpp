#include "host/StoreCommand.h"

#include "component/ClsMain.h"
#include "host/CertAccess.h"
#include "host/SharedOptions.h"
#include "platform/ShownText.h"

StoreCommand::StoreCommand()
    : Command(
          {QStringLiteral("store"),
           QStringLiteral("  dscmgr store\n"),
           QStringLiteral("Lists the certificates on the signing tokens present: index, holder, issuer and valid-to "
                          "date."),
           {}}) {}

QList<CommandOption> StoreCommand::options() const {
    return {sharedoption::folder(), sharedoption::log()};
}

int StoreCommand::run(const HostOptions& options, Console& console) const {
    const auto component = openCertComponent(options, console.err);
    if (!component)
        return 2;
    QVariantList store;
    const bool listed =
        kyt::ErrorTrap::silent()([&] { store = kyt::callByName(component->PdfObj.get(), "GetStoreList").toList(); });
    if (!listed) {
        console.err << "dscmgr: the certificate store cannot be listed.\n";
        return 2;
    }
    if (store.isEmpty()) {
        console.err << "dscmgr: no signing token with a certificate is present.\n";
        return 1;
    }
    for (int i = 0; i < store.size(); ++i) {
        const QVariantMap entry = store[i].toMap();
        console.out << i << '\t' << shown::terminalCell(entry.value(QStringLiteral("holder")).toString()) << '\t'
                    << shown::terminalCell(entry.value(QStringLiteral("issuer")).toString()) << '\t'
                    << entry.value(QStringLiteral("validTo")).toString() << '\n';
    }
    return console.delivered() ? 0 : console.unwritten(QStringLiteral("the store list"));
}
