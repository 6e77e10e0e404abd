#pragma once

#include <QLabel>
#include <QWidget>

class CertListModel;

// Beside the list filters: how many certificates the list shows ("12 of 340" while the find box
// narrows it). Follows the list model, so every reload (filter, save, delete) updates it.
class ListCount : public QLabel {
    Q_OBJECT
public:
    ListCount(const CertListModel* model, QWidget* parent);

private:
    void refresh();
    const CertListModel* model_;
};

// Under the list: what the row tints mean, with the number of days of the expiring tint.
class ListLegend : public QWidget {
    Q_OBJECT
public:
    ListLegend(const CertListModel* model, QWidget* parent);

private:
    void refresh();
    const CertListModel* model_;
    QLabel* expiring_;
};
