#include "host/ExpiryChart.h"

#include <algorithm>
#include <QLocale>
#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QValueAxis>

ExpiryChart::ExpiryChart(QWidget* parent)
    // The chart is handed over at construction: a chart set later would leave behind the empty one
    // the view makes for itself, which the view does not delete.
    : QChartView(new QChart, parent), bars_(new QBarSet(QStringLiteral("Certificates"))), series_(new QBarSeries),
      months_(new QBarCategoryAxis), values_(new QValueAxis) {
    setObjectName(QStringLiteral("chtexpiry"));
    setRenderHint(QPainter::Antialiasing);
    setMinimumSize(420, 240);
    series_->append(bars_);
    series_->setBarWidth(0.75);
    bars_->setColor(QColor(236, 172, 52));
    bars_->setBorderColor(QColor(180, 120, 20));
    QChart* chart = this->chart();
    chart->addSeries(series_);
    chart->setTitle(QStringLiteral("Certificates expiring by month"));
    chart->legend()->hide();
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->addAxis(months_, Qt::AlignBottom);
    chart->addAxis(values_, Qt::AlignLeft);
    series_->attachAxis(months_);
    series_->attachAxis(values_);
    values_->setLabelFormat(QStringLiteral("%d"));
    QFont small = months_->labelsFont();
    small.setPointSizeF(small.pointSizeF() * 0.75);
    months_->setLabelsFont(small);
    connect(series_, &QBarSeries::clicked, this, [this](int index, QBarSet*) { Q_EMIT barClicked(index); });
}

void ExpiryChart::setCounts(const ExpiryMonths& counts) {
    QStringList categories{QStringLiteral("Expired")};
    QList<qreal> values{qreal(counts.expired)};
    const QLocale c = QLocale::c();
    for (int k = 0; k < ExpiryMonths::kMonths; ++k) {
        // Short enough to stand under a narrow bar; the year shows where it begins.
        const QDate month = counts.firstMonth.addMonths(k);
        categories << c.toString(month,
                                 month.month() == 1 || k == 0 ? QStringLiteral("MMM yy") : QStringLiteral("MMM"));
        values << qreal(counts.months[size_t(k)]);
    }
    bars_->remove(0, bars_->count());
    bars_->append(values);
    months_->clear();
    months_->append(categories);
    // Whole numbers on the value axis, with room above the tallest bar.
    const int most = int(*std::max_element(values.begin(), values.end()));
    values_->setRange(0, std::max(4, most + std::max(1, most / 8)));
    values_->applyNiceNumbers();
}

QList<int> ExpiryChart::counts() const {
    QList<int> out;
    for (int i = 0; i < bars_->count(); ++i)
        out << int(bars_->at(i));
    return out;
}

QPoint ExpiryChart::barCentre(int index) const {
    const QPointF inChart = chart()->mapToPosition(QPointF(index, bars_->at(index) / 2), series_);
    return mapFromScene(chart()->mapToScene(inChart));
}
