#pragma once

#include "setup/engine/SetupContext.h"

namespace marvek::setup {

bool DatabaseUpgrade(SetupContext& ctx);
bool RepairInstalledManuals(SetupContext& ctx);

} // namespace marvek::setup
