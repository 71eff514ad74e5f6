#include "platform/Platform.h"

#include "platform/DesktopEntries.h"
#include "platform/MachineSetup.h"

namespace marvek::platform {

Platform::Platform(Machine machine, std::unique_ptr<UserInterface> ui, std::unique_ptr<Clock> clock)
    : m_machine(std::move(machine)), m_registry(m_machine), m_machineInfo(m_machine), m_files(m_machine),
      m_processes(m_machine), m_ui(std::move(ui)), m_clock(std::move(clock)) {
}

std::unique_ptr<Platform> Platform::fromEnvironment() {
    Machine machine = Machine::fromEnvironment();
    MachineSetup(machine).ensure();
    DesktopEntries::sweep();
    auto ui = createUserInterface(machine);
    return std::make_unique<Platform>(std::move(machine), std::move(ui), std::make_unique<RealClock>());
}

} // namespace marvek::platform
