#pragma once

#include "custody/TokenCustody.h"

#include <optional>
#include <QObject>
#include <QStringList>

namespace kyt {
class Db;
}

// The receipt of a token's movement, for the one who hands it over and the one who takes it to
// sign: one page through the report component, as every printout of the register goes.
namespace custody {

struct Receipt {
    QString practice; // the practice's name (the reminders' "Practice" setting); may be empty
    int srNo = 0;
    QString holder, certificate, serialNo, validFrom, validTo;
    Movement movement;

    QString title() const;
    // The receipt's lines below the title, label and text, in print order.
    QList<std::pair<QString, QString>> fields() const;
};

// The receipt of record n's last movement; none when the record or its movements are gone.
std::optional<Receipt> lastReceipt(kyt::Db& db, int srNo, const QString& practice);

// Writes the receipt as a PDF file through the report object; empty on success, else why not.
QString writeReceipt(QObject* report, const Receipt& receipt, const QString& pdfFile);

} // namespace custody
