#pragma once

#include <QObject>
#include <QVariant>

// The report viewer object the register prints through. Each report identifier makes one; the
// identifier it was made for is kept, as hosts distinguish their viewers by it.
class ReportViewer : public QObject {
    Q_OBJECT
public:
    explicit ReportViewer(QString progId, QObject* parent = nullptr);

    Q_INVOKABLE QVariant ProgId() const { return progId_; }

private:
    QString progId_;
};
