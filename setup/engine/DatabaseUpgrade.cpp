#include "setup/engine/DatabaseUpgrade.h"

namespace marvek::setup {

// Placeholder until the upgrade lands.
bool DatabaseUpgrade(SetupContext&) {
    return true;
}

bool RepairInstalledManuals(SetupContext&) {
    return true;
}

} // namespace marvek::setup
