#pragma once

#include "store/ExpiryMonths.h"

#include <QDateTime>

namespace kyt {
class Db;
}

// How many certificates the register holds, how many have expired and how many expire within a
// number of days (those already expired included, as the list's own days filter shows them; those
// renewed left out, as nobody need act on them).
struct RegisterCounts {
    int all = 0;
    int expired = 0;
    int expiring = 0;
    ExpiryMonths months;   // the expired and each of the next twelve months, for the host's chart
    bool readable = false; // false when the table cannot be read, such as before it was made
};

RegisterCounts countRegister(kyt::Db& db, const QDateTime& now, int days);
