#include "report/ReportViewer.h"

#include <QVariant>

ReportViewer::ReportViewer(QString progId, QObject* parent) : QObject(parent), progId_(std::move(progId)) {}
