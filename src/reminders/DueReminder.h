#pragma once

#include <QDateTime>
#include <QString>

// One reminder the register owes: a certificate (one record, one serial number, one end of
// validity) at one step.
struct DueReminder {
    static constexpr int kExpiredStep = -1; // the last one, after the certificate has expired

    int srNo = 0;
    QString name, type, serial, issuer, email;
    QDateTime validTo;
    int step = 0;
    int days = 0; // whole days from today to the day it expires; below 0 once expired

    bool expired() const { return step == kExpiredStep; }
    // The key that marks this reminder as sent: record, serial number, end of validity and step.
    QString key() const;
    QString validToSql() const { return validTo.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }
};
