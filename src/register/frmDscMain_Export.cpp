// "Export…": the list as shown (filter, find box and sort) to a CSV file or a workbook.

#include "component/ClsMain.h"
#include "register/frmDscMain.h"
#include "store/ListExport.h"
#include "store/RenewalQueue.h"

#include <algorithm>
#include <QDir>
#include <QHeaderView>
#include <vector>

void frmDscMain::cmdexport_Click() {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("CMDEXPORT_CLICK"));
    trap([&] {
        kyt::Dialogs& dialogs = *ClsObj->services().dialogs;
        const std::optional<QString> chosen =
            dialogs.saveFile(this, QStringLiteral("Export the List"),
                             QStringLiteral("Excel Workbook (*.xlsx)|*.xlsx|CSV (Comma delimited) (*.csv)|*.csv"),
                             QDir(ClsObj->DocPath).filePath(QStringLiteral("Certificates.xlsx")));
        if (!chosen || chosen->isEmpty())
            return;
        // The columns in view, in the order the list shows them, the hidden record number aside, each
        // written as the kind it holds.
        std::vector<int> columns;
        QStringList headings;
        std::vector<listexport::Kind> kinds;
        const QAbstractItemModel* model = vs->model();
        const QHeaderView* header = vs->horizontalHeader();
        const bool queue = optdue->isChecked() || optrecent->isChecked();
        const std::vector<listexport::Kind> queueKinds = RenewalQueue::viewKinds();
        for (int shown = 0; shown < header->count(); ++shown) {
            const int c = header->logicalIndex(shown);
            if (c < 0 || vs->isColumnHidden(c))
                continue;
            columns.push_back(c);
            headings << model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
            const size_t viewColumn = size_t(std::max(0, c - CertListModel::kColumns));
            // The queue's days left are a number, as `dscmgr list --xlsx` writes them; a view's own
            // date column (when a holder was last reminded) is a date too.
            kinds.push_back(c == RecordLayout::kRunningNumberColumn ? listexport::Kind::Number
                            : queue && c >= CertListModel::kColumns && viewColumn < queueKinds.size()
                                ? queueKinds[viewColumn]
                            : vs->listModel()->isDateColumn(c) ? listexport::Kind::Date
                                                               : listexport::Kind::Text);
        }
        const int rows = vs->Rows() - vs->FixedRows();
        const QString failure = listexport::write(*chosen, headings, kinds, [&](const listexport::RowSink& sink) {
            std::vector<QByteArray> texts(columns.size());
            std::vector<QByteArrayView> cells(columns.size());
            for (int row = 0; row < rows; ++row) {
                for (size_t k = 0; k < columns.size(); ++k) {
                    // The list's own columns as stored; others as the view shows them.
                    const int c = columns[k];
                    texts[k] = (c < RecordLayout::kColumnCount ? vs->TextMatrix(row + 1, c)
                                                               : model->index(row, c).data().toString())
                                   .toUtf8();
                    cells[k] = texts[k];
                }
                sink(std::span<const QByteArrayView>(cells));
            }
        });
        if (!failure.isEmpty()) {
            dialogs.information(this, failure);
            return;
        }
        dialogs.information(this, rows == 1 ? QStringLiteral("1 certificate exported.")
                                            : QStringLiteral("%1 certificates exported.").arg(rows));
    });
}
