// The entry frame's certificate type and proof type lists, rebuilt from the register.

#include "component/ClsMain.h"
#include "register/frmDscMain.h"
#include "store/StoreStatements.h"
#include "store/TypeLists.h"

void frmDscMain::LoadLists() {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("LOADLISTS"));
    // Only the entries change. A combo box shows its first entry once entries arrive in an empty
    // list, so the text on screen, which belongs to the record shown, is put back afterwards.
    const auto rebuild = [&](QComboBox* list, const QStringList& fixed, const QString& sql) {
        const QString shown = list->currentText();
        list->clear();
        list->addItems(fixed);
        trap([&] { AppendStoredTypes(*ClsObj->Db, sql, list); });
        list->setCurrentIndex(-1);
        list->setEditText(shown);
    };
    rebuild(cbodsctype, {}, StoreStatements::selectTypes());
    rebuild(cboidproof, FixedProofTypes(), StoreStatements::selectIdProofTypes());
    rebuild(cboaddrproof, FixedProofTypes(), StoreStatements::selectAddrProofTypes());
}
