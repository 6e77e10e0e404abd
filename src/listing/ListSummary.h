#pragma once

#include <QWidget>

class CertListModel;
class QLabel;

// Beside the list filters: how many certificates the list shows, and what the row tints mean.
// Follows the list model, so every reload (filter, save, delete) updates it.
class ListSummary : public QWidget {
    Q_OBJECT
public:
    ListSummary(const CertListModel* model, QWidget* parent);

private:
    void refresh();

    const CertListModel* model_;
    QLabel* count_;
    QLabel* expiring_;
};
