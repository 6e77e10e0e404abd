// The end of an import: "N Records Transferred." with what became of the other rows as its detail,
// and the rows not imported tinted, so that the clerk sees at once which certificates need a look.

#include "bulk/frmbulkdsc.h"
#include "component/ClsMain.h"
#include "store/BulkImporter.h"
#include "store/ImportOutcome.h"

#include <QBrush>

void frmbulkdsc::showImportOutcome(int count) {
    QStringList statuses;
    const QBrush notImported(QColor(255, 196, 196));
    for (int row = 1; row < vs2->Rows(); ++row) {
        const QString status = vs2->TextMatrix(row, bulk::kStatusColumn);
        statuses << status;
        const bool in = bulk::ImportOutcome::isImported(status);
        for (int column = 0; column < vs2->Cols(); ++column) {
            if (!vs2->item(row - 1, column))
                vs2->setTextMatrix(row, column, QString());
            if (QTableWidgetItem* cell = vs2->item(row - 1, column))
                cell->setBackground(in ? QBrush() : notImported);
        }
    }
    const QString detail = bulk::ImportOutcome::of(statuses).detail();
    kyt::ErrorTrap(ClsObj.get(), QStringLiteral("frmbulkdsc"), QStringLiteral("IMPORTDETAILS"))(
        [&] { ClsObj->services().dialogs->informationWithDetail(this, bulk::TransferSummary(count), detail); });
}
