#pragma once

#include "store/ExpiryMonths.h"

#include <QList>
#include <QtCharts/QChartView>

class QBarSet;
class QBarSeries;

// Beside the host window's counts: a bar chart of the certificates that have expired (the first
// bar) and that expire in each of the next twelve months. A click on a bar asks for that bar's rows.
class ExpiryChart : public QChartView {
    Q_OBJECT
public:
    explicit ExpiryChart(QWidget* parent = nullptr);

    void setCounts(const ExpiryMonths& counts);
    // The bars' values, the expired first.
    QList<int> counts() const;
    // Where bar `index` is drawn, in the view's coordinates: what a click on it aims at.
    QPoint barCentre(int index) const;

Q_SIGNALS:
    // 0: the expired; 1..12: month 0..11.
    void barClicked(int index);

private:
    QBarSet* bars_;
    QBarSeries* series_;
    class QBarCategoryAxis* months_;
    class QValueAxis* values_;
};
