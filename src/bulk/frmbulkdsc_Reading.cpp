// "&Proceed": reading the details of every listed entry, with progress and Stop.

#include "bulk/frmbulkdsc.h"
#include "component/ClsMain.h"
#include "component/Module1.h"
#include "store/BulkReader.h"
#include "store/RegisterCheck.h"

#include <QScrollBar>

namespace {
const QString kReading = QStringLiteral("1");
} // namespace

void frmbulkdsc::cmdproceed_Click() {
    kyt::ErrorTrap trap = kyt::ErrorTrap::silent();
    if (vs1->Rows() <= 1) {
        trap([&] { ClsObj->services().dialogs->information(this, QStringLiteral("No File Selected.")); });
        return;
    }
    // Rows read from certificates would all be refused by a register that cannot be read; the
    // user hears so before any file is read.
    QString unreadable;
    trap([&] { unreadable = WhyRegisterUnreadable(*ClsObj->Db); });
    if (!unreadable.isEmpty()) {
        trap([&] {
            ClsObj->services().dialogs->information(
                this,
                QStringLiteral("The register cannot be read, so nothing can be imported into it: %1.").arg(unreadable));
        });
        return;
    }
    if (!ClsObj->PdfObj) {
        trap([&] { CreateCertObject(*ClsObj); });
        if (!ClsObj->PdfObj)
            return;
    }
    startRun(vs1->Rows() - 1, kReading);
    // Reading and the type lists log their own failures.
    GetFileInfo();
    LoadLists();
    showPage(fam2);
    vs2->setFocus();
    vs2->scrollToTop();
    vs2->horizontalScrollBar()->setValue(0);
    vs2->setCurrentCell(1, 1);
}

void frmbulkdsc::GetFileInfo() {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmbulkdsc"), QStringLiteral("GETFILEINFO"));
    vs2->clearRows();
    const int n = vs1->Rows() - 1;
    for (int i = 1; i <= n; ++i) {
        if (!runStep(i, QStringLiteral("Retrieving Information for Certificate"), kReading))
            break;
        const int r = vs2->addRow();
        vs2->setTextMatrix(r, 0, QString::number(r));
        const bulk::ListEntry entry{vs1->TextMatrix(i, bulk::kPathColumn), vs1->TextMatrix(i, bulk::kKindColumn)};
        const QString password =
            chkcompass->isChecked() ? txtcompass->text() : vs1->TextMatrix(i, bulk::kPasswordColumn);
        const bulk::ReadResult read = bulk::ReadEntry(*ClsObj, entry, password, trap);
        vs2->setTextMatrix(r, bulk::kNameColumn, read.fileName);
        for (int k = 0; k < bulk::kDetailCount; ++k)
            vs2->setTextMatrix(r, bulk::kFirstDetailColumn + k, read.details[size_t(k)]);
        vs2->setTextMatrix(r, bulk::kStatusColumn, read.status);
        vs2->setCellToolTip(r, bulk::kStatusColumn, read.reason);
    }
    vs2->autoFitColumns();
}
