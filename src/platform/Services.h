#pragma once

#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/Dialogs.h"
#include "platform/ObjectRegistry.h"

#include <memory>

namespace kyt {

// The platform services a component instance works with. Production fills them with the real
// ones; tests hand in scripted dialogs, a fixed clock, their own registry file and a recorder.
struct Services {
    std::shared_ptr<Dialogs> dialogs;
    std::shared_ptr<Clock> clock;
    std::shared_ptr<ObjectRegistry> objects;
    std::shared_ptr<Desktop> desktop;
    // The folder that plays the system folder: where the component library and its registrar lie.
    QString systemFolder;

    static Services production();
    // The folder of the running program (where the build puts programs and plugins).
    static QString programFolder();
};

} // namespace kyt
