// "&Import": the type combos of the results page and inserting the read rows into DscStore.

#include "bulk/frmbulkdsc.h"
#include "component/ClsMain.h"
#include "custody/TokenCustody.h"
#include "store/BulkImporter.h"
#include "store/StoreStatements.h"
#include "store/TypeLists.h"

namespace {
const QString kImporting = QStringLiteral("2");

// The details of entry row `row`, as the import takes them.
std::array<QString, bulk::kDetailCount> detailsOf(const WizardGrid& grid, int row) {
    std::array<QString, bulk::kDetailCount> details;
    for (int k = 0; k < bulk::kDetailCount; ++k)
        details[size_t(k)] = grid.TextMatrix(row, bulk::kFirstDetailColumn + k);
    return details;
}
} // namespace

void frmbulkdsc::LoadLists() {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmbulkdsc"), QStringLiteral("LOADLISTS"));
    cbodsctype->clear();
    cbodsctype->addItem(bulk::kAutoType);
    trap([&] { AppendStoredTypes(*ClsObj->Db, StoreStatements::selectTypes(), cbodsctype); });
    cbodsctype->setCurrentIndex(0);
    const std::pair<QComboBox*, QString> proofLists[] = {{cboidproof, StoreStatements::selectIdProofTypes()},
                                                         {cboaddrproof, StoreStatements::selectAddrProofTypes()}};
    for (const auto& proofList : proofLists) {
        QComboBox* list = proofList.first;
        list->clear();
        list->addItems(FixedProofTypes());
        trap([&] { AppendStoredTypes(*ClsObj->Db, proofList.second, list); });
        list->setCurrentIndex(-1);
        list->setEditText(QString());
    }
}

void frmbulkdsc::cmdconvert_Click() {
    startRun(vs2->Rows() - 1, kImporting);
    ImportDetails();
    showPage(fam2);
    vs2->setFocus();
    // What became of each row, from the left edge; the details stay a scroll away.
    vs2->scrollToTop();
    vs2->scrollColumnToLeft(bulk::kStatusColumn);
    vs2->setCurrentCell(1, bulk::kStatusColumn);
}

// Each step is trapped on its own, each row's too: a row that fails part-way is logged and keeps the
// status it had, and the summary, the count in FileNos (and so the register's reload) always follow.
void frmbulkdsc::ImportDetails() {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmbulkdsc"), QStringLiteral("IMPORTDETAILS"));
    bulk::ImportChoices choices;
    trap([&] {
        choices.autoType = cbodsctype->currentIndex() == 0 && cbodsctype->currentText() == bulk::kAutoType;
        choices.type = cbodsctype->currentText();
        choices.idProofType = cboidproof->currentText();
        choices.addrProofType = cboaddrproof->currentText();
        choices.carryOver = chkcarryover->isChecked();
        choices.docPath = ClsObj->DocPath;
        choices.linkMade = custody::carryOverOnLink();
    });
    bulk::BulkImporter importer(*ClsObj->Db, choices, trap);
    trap([&] { importer.begin(); });
    const int n = vs2->Rows() - 1;
    trap([&] {
        QList<std::array<QString, bulk::kDetailCount>> rows(n);
        for (int i = 1; i <= n; ++i)
            rows[i - 1] = detailsOf(*vs2, i);
        importer.expect(rows);
    });
    for (int i = 1; i <= n; ++i) {
        bool go = true;
        trap([&] { go = runStep(i, QStringLiteral("Importing Record"), kImporting); });
        if (!go)
            break;
        trap([&] {
            const QString status = importer.importRow(detailsOf(*vs2, i), vs2->TextMatrix(i, bulk::kStatusColumn));
            vs2->setTextMatrix(i, bulk::kStatusColumn, status);
        });
        if (importer.databaseUnreachable())
            break;
    }
    trap([&] { importer.finish(); });
    trap([&] { vs2->autoFitColumns(); });
    if (importer.databaseUnreachable())
        trap([&] { ClsObj->services().dialogs->information(this, bulk::UnreachableDatabaseNotice()); });
    if (!importer.notes().isEmpty())
        trap([&] { ClsObj->services().dialogs->information(this, importer.notes().join(QLatin1Char('\n'))); });
    showImportOutcome(importer.count());
    ClsObj->FileNos += importer.count();
}
