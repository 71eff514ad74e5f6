#include "platform/Platform.h"

#include "platform/DesktopEntries.h"
#include "platform/MachineSetup.h"
#include "platform/SharedMachine.h"

#include <cstdio>

namespace marvek::platform {

Platform::Platform(Machine machine, std::unique_ptr<UserInterface> ui, std::unique_ptr<Clock> clock)
    : m_machine(std::move(machine)), m_registry(m_machine), m_machineInfo(m_machine), m_files(m_machine),
      m_processes(m_machine), m_ui(std::move(ui)), m_clock(std::move(clock)) {
}

std::unique_ptr<Platform> Platform::fromEnvironment() {
    QString refusal;
    std::unique_ptr<Platform> platform = enter(refusal);
    if (!platform)
        showRefusal(refusal);
    return platform;
}

std::unique_ptr<Platform> Platform::enter(QString& refusal) {
    Machine machine = Machine::fromEnvironment();
    refusal = enterMachine(machine);
    if (!refusal.isEmpty())
        return nullptr;
    MachineSetup(machine).ensure();
    DesktopEntries::sweep();
    auto ui = createUserInterface(machine);
    return std::make_unique<Platform>(std::move(machine), std::move(ui), RealClock::fromEnvironment());
}

void Platform::showRefusal(const QString& refusal) {
    std::fprintf(stderr, "%s\n", qPrintable(refusal));
    createUserInterface(Machine::fromEnvironment())
        ->messageBox(refusal, mb::OKOnly | mb::Critical, QStringLiteral("Marvek"));
}

} // namespace marvek::platform
