#include "listing/ListSummary.h"

#include "listing/CertGrid.h"

#include <QHBoxLayout>

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
    layout->addSpacing(10);
    return caption;
}
} // namespace

ListCount::ListCount(const CertListModel* model, QWidget* parent) : QLabel(parent), model_(model) {
    setObjectName(QStringLiteral("lblcount"));
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    setContentsMargins(12, 0, 0, 0);
    connect(model_, &CertListModel::summaryChanged, this, &ListCount::refresh);
    refresh();
}

void ListCount::refresh() {
    const int rows = model_->rowCount();
    const int loaded = model_->loadedCount();
    if (!model_->filterText().isEmpty())
        setText(QStringLiteral("%1 of %2 certificates").arg(rows).arg(loaded));
    else
        setText(rows == 1 ? QStringLiteral("1 certificate") : QStringLiteral("%1 certificates").arg(rows));
}

ListLegend::ListLegend(const CertListModel* model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    legendEntry(CertListModel::expiredTint(), QStringLiteral("lblexpired"), this, layout)
        ->setText(QStringLiteral("Expired"));
    expiring_ = legendEntry(CertListModel::expiringTint(), QStringLiteral("lblexpiring"), this, layout);
    connect(model_, &CertListModel::summaryChanged, this, &ListLegend::refresh);
    refresh();
}

void ListLegend::refresh() {
    const int days = model_->expiringDays();
    expiring_->setText(days == 1 ? QStringLiteral("Expires within 1 day")
                                 : QStringLiteral("Expires within %1 days").arg(days));
}
