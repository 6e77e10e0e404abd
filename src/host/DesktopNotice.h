#pragma once

#include <QString>

// Shows one notice through the desktop's notification service on the session bus. False when
// there is no session bus or no service answers; nothing else happens then.
bool sendDesktopNotice(const QString& summary, const QString& body);
