#include "certinfo/CertChooserDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kyt::certinfo {

CertChooserDialog::CertChooserDialog(const std::vector<StoreCertificateSummary>& entries, QWidget* parent)
    : QDialog(parent), list_(new QTreeWidget(this)) {
    setObjectName(QStringLiteral("frmCertChooser"));
    setWindowTitle(tr("Select Certificate"));
    setModal(true);

    list_->setObjectName(QStringLiteral("lstCertificates"));
    list_->setHeaderLabels({tr("Issued To"), tr("Issued By"), tr("Valid To")});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setAllColumnsShowFocus(true);
    for (const StoreCertificateSummary& entry : entries)
        list_->addTopLevelItem(new QTreeWidgetItem(QStringList{entry.holder, entry.issuer, entry.validTo}));
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    if (list_->topLevelItemCount() > 0)
        list_->setCurrentItem(list_->topLevelItem(0));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    // OK makes sense only with a row selected.
    auto updateOk = [this, buttons] { buttons->button(QDialogButtonBox::Ok)->setEnabled(chosenIndex() >= 0); };
    connect(list_, &QTreeWidget::itemSelectionChanged, this, updateOk);
    updateOk();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(buttons);
    resize(640, 320);
}

int CertChooserDialog::chosenIndex() const {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    return selected.isEmpty() ? -1 : list_->indexOfTopLevelItem(selected.first());
}

int CertChooserDialog::choose(const std::vector<StoreCertificateSummary>& entries, QWidget* parent) {
    CertChooserDialog dialog(entries, parent);
    return dialog.exec() == QDialog::Accepted ? dialog.chosenIndex() : -1;
}

} // namespace kyt::certinfo
