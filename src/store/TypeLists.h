#pragma once

#include <QStringList>

class QComboBox;
namespace kyt {
class Db;
}

// The seven proof types every proof list offers, in their order.
const QStringList& FixedProofTypes();

// Adds the first column of every row the statement returns to the list, in the order returned.
void AppendStoredTypes(kyt::Db& db, const QString& sql, QComboBox* list);
