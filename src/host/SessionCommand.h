#pragma once

#include "host/Command.h"

class HostSession;

namespace kyt {
struct Services;
}

// A command that works on the register: it opens the folder, the database and the component, then
// runs in that session.
class SessionCommand : public Command {
public:
    using Command::Command;
    int run(const HostOptions& options, Console& console) const override;
    virtual int runIn(HostSession& session, Console& console) const = 0;

protected:
    // The services the component gets: on the command line messages are printed and questions
    // declined, as nobody is there to answer.
    virtual kyt::Services services(Console& console) const;
    // The default register before the window has ever made it: a new machine, not a mistake. True,
    // after saying so on `err`, when that is so.
    static bool noRegisterYet(const HostOptions& options, QTextStream& err);
};
