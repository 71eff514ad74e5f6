#pragma once

#include "Clock.h"
#include "Files.h"
#include "Machine.h"
#include "MachineInfo.h"
#include "Processes.h"
#include "Registry.h"
#include "UserInterface.h"

#include <memory>

namespace marvek::platform {

// Everything a program asks of the operating system, for one machine prefix. Owned by the program's
// context; not copyable, because the services keep a reference to the machine.
class Platform {
public:
    Platform(Machine machine, std::unique_ptr<UserInterface> ui, std::unique_ptr<Clock> clock);
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    // The prefix of MARVEK_ROOT, set up as a Windows PC is before any program runs (MachineSetup: what
    // it lacks is added once), the UI of createUserInterface() and RealClock::fromEnvironment(). Desktop
    // entries of shortcuts that are gone are withdrawn. Null, after a box and a line on the error output,
    // when the machine is shared by a group this user is not in (enterMachine): nothing was written then.
    static std::unique_ptr<Platform> fromEnvironment();
    // The same for a program that settles its machine before its window system starts: on a refusal,
    // null and why in refusal, for showRefusal() once the window system runs.
    static std::unique_ptr<Platform> enter(QString& refusal);
    static void showRefusal(const QString& refusal);

    const Machine& machine() const { return m_machine; }
    const Registry& registry() const { return m_registry; }
    const MachineInfo& machineInfo() const { return m_machineInfo; }
    const Files& files() const { return m_files; }
    const Processes& processes() const { return m_processes; }
    UserInterface& ui() const { return *m_ui; }
    Clock& clock() const { return *m_clock; }

    // Makes chosen file operations fail (tests only; none by default).
    void setFileFaultPolicy(std::unique_ptr<FileFaultPolicy> policy) {
        m_files.setFaultPolicy(std::move(policy));
    }

private:
    Machine m_machine;
    Registry m_registry;
    MachineInfo m_machineInfo;
    Files m_files;
    Processes m_processes;
    std::unique_ptr<UserInterface> m_ui;
    std::unique_ptr<Clock> m_clock;
};

} // namespace marvek::platform
