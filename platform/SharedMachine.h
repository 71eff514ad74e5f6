#pragma once

#include "Machine.h"

#include <QString>
#include <optional>
#include <sys/types.h>

namespace marvek::platform {

// A machine every user of the PC shares (the system machine of /etc/marvek/machine.conf, made by the
// runtime package): its root folder carries the set-group-ID bit, and its group, the group of the
// technicians, owns everything in it. Folders made below it inherit group and bit from the kernel;
// files and folders are made group-writable because a program working on such a machine clears the
// group bits of its umask (enterMachine, the one place that does).
struct MachineGroup {
    gid_t id = 0;
    QString name; // the group's name, else its number
};

// The group of a shared machine; none for a machine of one user (no set-group-ID bit on its root) or a
// root folder that does not exist yet.
std::optional<MachineGroup> sharedMachineGroup(const Machine& machine);

// What a program does before it works on a machine: on a shared machine it makes what it creates
// group-writable (the group bits of the umask are cleared, the bits for others stay) and checks that
// this user may write there. Returns an empty text when the program may go on, else the reason, which
// names the group and how a technician is added to it; nothing has been written then.
QString enterMachine(const Machine& machine);

} // namespace marvek::platform
