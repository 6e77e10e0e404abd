#pragma once

#include <QString>

namespace kyt {
class Db;
}

// Why the register cannot be read in full, in one line; empty when it can. A damaged SQLite file
// often reads its first pages well and fails only further on, so the file's structure is checked
// as well as the table read to its end. Nothing should be written into a register that fails this.
QString WhyRegisterUnreadable(kyt::Db& db);
