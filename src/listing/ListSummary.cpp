#include "listing/ListSummary.h"

#include "listing/CertGrid.h"

#include <QHBoxLayout>
#include <QLabel>

namespace {
// A small coloured square with a caption after it.
QLabel* legendEntry(const QColor& tint, const QString& name, QWidget* parent, QHBoxLayout* layout) {
    auto* swatch = new QLabel(parent);
    swatch->setFixedSize(14, 14);
    swatch->setStyleSheet(QStringLiteral("background:%1;border:1px solid #808080;").arg(tint.name()));
    auto* caption = new QLabel(parent);
    caption->setObjectName(name);
    layout->addWidget(swatch);
    layout->addWidget(caption);
    layout->addSpacing(8);
    return caption;
}
} // namespace

ListSummary::ListSummary(const CertListModel* model, QWidget* parent)
    : QWidget(parent), model_(model), count_(new QLabel(this)) {
    count_->setObjectName(QStringLiteral("lblcount"));
    QFont bold = count_->font();
    bold.setBold(true);
    count_->setFont(bold);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 0, 0, 0);
    layout->addWidget(count_);
    layout->addStretch();
    legendEntry(CertListModel::expiredTint(), QStringLiteral("lblexpired"), this, layout)
        ->setText(QStringLiteral("Expired"));
    expiring_ = legendEntry(CertListModel::expiringTint(), QStringLiteral("lblexpiring"), this, layout);
    connect(model_, &CertListModel::summaryChanged, this, &ListSummary::refresh);
    refresh();
}

void ListSummary::refresh() {
    const int rows = model_->rowCount();
    count_->setText(rows == 1 ? QStringLiteral("1 certificate") : QStringLiteral("%1 certificates").arg(rows));
    const int days = model_->expiringDays();
    expiring_->setText(days == 1 ? QStringLiteral("Expires within 1 day")
                                 : QStringLiteral("Expires within %1 days").arg(days));
}
