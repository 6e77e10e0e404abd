// The file list page: collecting certificate files, the files of a folder and the certificates
// of the store, with a password per file or one for all.

#include "bulk/frmbulkdsc.h"
#include "component/ClsMain.h"
#include "component/Module1.h"
#include "store/BulkReader.h"

#include <QSet>

namespace {
const QString kFileTitle = QStringLiteral("Select Certificate File");
const QString kFileFilter = QStringLiteral("Personal Information Exchange (*.pfx;*.p12)|*.pfx;*.p12|"
                                           "X.509 Certificate (*.cer;*.crt)|*.cer;*.crt|All Files (*.*)|*.*");
using bulk::kKindColumn;
using bulk::kNumberColumn;
using bulk::kPasswordColumn;
using bulk::kPathColumn;

// The files the list holds, each by the file its path names (two paths are one entry only when
// they name the same file).
QSet<QString> listedFiles(const WizardGrid& list) {
    QSet<QString> files;
    for (int row = 1; row < list.Rows(); ++row)
        if (list.TextMatrix(row, kKindColumn) == bulk::kFileKind)
            files.insert(bulk::FileIdentity(list.TextMatrix(row, kPathColumn)));
    return files;
}
} // namespace

void frmbulkdsc::appendEntry(const QString& name, const QString& kind) {
    const int row = vs1->addRow();
    vs1->setTextMatrix(row, kNumberColumn, QString::number(row));
    vs1->setTextMatrix(row, kPathColumn, name);
    vs1->setTextMatrix(row, kPasswordColumn, QString());
    vs1->setTextMatrix(row, kKindColumn, kind);
    if (QTableWidgetItem* number = vs1->item(row - 1, kNumberColumn))
        number->setTextAlignment(Qt::AlignCenter);
}

void frmbulkdsc::cmdfl_Click() {
    kyt::ErrorTrap trap = kyt::ErrorTrap::silent();
    QStringList chosen;
    trap([&] { chosen = ClsObj->services().dialogs->openFiles(this, kFileTitle, kFileFilter, false); });
    if (chosen.isEmpty())
        return;
    const QString path = chosen.first();
    if (listedFiles(*vs1).contains(bulk::FileIdentity(path))) {
        trap(
            [&] { ClsObj->services().dialogs->information(this, QStringLiteral("File already exists in the List.")); });
        return;
    }
    appendEntry(path, bulk::kFileKind);
    vs1->autoFitColumns();
}

void frmbulkdsc::cmdfld_Click() {
    const QString folder = BrowseFolder(*ClsObj, this);
    if (folder.isEmpty())
        return;
    // A folder or file that cannot be read is left out of the listing, not raised.
    QSet<QString> listed = listedFiles(*vs1);
    for (const QString& path : bulk::FolderFiles(folder)) {
        const QString identity = bulk::FileIdentity(path);
        if (!listed.contains(identity)) {
            listed.insert(identity);
            appendEntry(path, bulk::kFileKind);
        }
    }
    vs1->autoFitColumns();
}

void frmbulkdsc::cmdallcertstore_Click() {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmbulkdsc"), QStringLiteral("CMDALLCERTSTORE_CLICK"));
    // The loader tells the user itself why the component could not be had.
    if (!ClsObj->PdfObj) {
        trap([&] { CreateCertObject(*ClsObj); });
        if (!ClsObj->PdfObj)
            return;
    }
    int n = 0;
    trap([&] { n = RoundHalfEven(Val(kyt::callByName(ClsObj->PdfObj.get(), "GetStoreCertCount").toString())); });
    if (n < 1) {
        trap([&] { ClsObj->services().dialogs->information(this, QStringLiteral("No Certificate Found.")); });
        return;
    }
    for (int i = 0; i < n; ++i) {
        const QString index = QString::number(i);
        if (vs1->findRow(kKindColumn, index, Qt::CaseSensitive) == 0)
            appendEntry(bulk::kStoreEntryPrefix + QString::number(i + 1), index);
    }
    vs1->autoFitColumns();
}

void frmbulkdsc::cmddelfl_Click() {
    if (vs1->Row() < 1)
        return;
    vs1->removeRow(vs1->Row());
    for (int row = 1; row < vs1->Rows(); ++row)
        vs1->setTextMatrix(row, kNumberColumn, QString::number(row));
}

void frmbulkdsc::cmdclear_Click() {
    kyt::ErrorTrap trap = kyt::ErrorTrap::silent();
    kyt::Dialogs& dialogs = *ClsObj->services().dialogs;
    if (vs1->Rows() > 1) {
        kyt::Answer answer = kyt::Answer::No;
        trap([&] {
            answer = dialogs.question(this, QStringLiteral("Do you really want to Clear all the Selected Files List?"),
                                      kyt::Answer::No);
        });
        if (answer == kyt::Answer::Yes)
            vs1->clearRows();
    } else {
        trap([&] { dialogs.information(this, QStringLiteral("No Files Selected.")); });
    }
}

void frmbulkdsc::chkcompass_Click() {
    const bool common = chkcompass->isChecked();
    txtcompass->setVisible(common);
    vs1->setColumnHidden(kPasswordColumn, common);
}

void frmbulkdsc::vs1_BeforeEdit(int Row, int Col, bool& Cancel) {
    Cancel = !(Row >= 1 && Col == kPasswordColumn && vs1->TextMatrix(Row, kKindColumn) == bulk::kFileKind);
}

void frmbulkdsc::vs1_AfterRowColChange(int, int, int NewRow, int NewCol) {
    if (NewRow >= 1 && NewCol == kPasswordColumn && vs1->TextMatrix(NewRow, kKindColumn) == bulk::kFileKind)
        vs1->editItem(vs1->item(NewRow - 1, NewCol));
}
