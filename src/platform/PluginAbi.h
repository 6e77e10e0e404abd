#pragma once

// The functions every component plugin library exports (with C linkage):
//
//   QObject* kyt_create_object(const char* progId);  // a new object, or nullptr for an unknown id
//   const char* const* kyt_object_ids();             // the ids it serves, ending in nullptr
//
// Identifiers match without regard to letter case, as registered class names do.
//
// Objects are plain QObjects whose Q_INVOKABLE methods take and return QVariant; callers reach
// them by member name (callByName in ObjectRegistry.h).

#include <QObject>

#define KYT_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

namespace kyt {
inline constexpr const char* kObjectIdsSymbol = "kyt_object_ids";
using ObjectIdsFn = const char* const* (*)();
} // namespace kyt
