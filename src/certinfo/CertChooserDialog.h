#pragma once

#include "certinfo/StoreListing.h"

#include <QDialog>
#include <vector>

class QTreeWidget;

namespace kyt::certinfo {

// Lets the user pick one certificate of the store: a list of holder, issuer and expiry with OK
// and Cancel. A double click picks too.
class CertChooserDialog : public QDialog {
    Q_OBJECT
public:
    explicit CertChooserDialog(const std::vector<StoreCertificateSummary>& entries, QWidget* parent = nullptr);

    // The chosen entry's index, or -1 when none is selected.
    int chosenIndex() const;

    // Shows the dialog modally; the chosen index, or -1 when cancelled.
    static int choose(const std::vector<StoreCertificateSummary>& entries, QWidget* parent);

private:
    QTreeWidget* list_;
};

} // namespace kyt::certinfo
