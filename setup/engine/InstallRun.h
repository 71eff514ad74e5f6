#pragma once

#include "setup/engine/InstallView.h"
#include "setup/engine/SetupContext.h"

namespace marvek::setup {

// The installation window's step sequence: companion programs with the database upgrade, the manual
// survey, the manual installation. True when every step succeeded; a failing step leaves its error
// lines for the result screen.
bool RunInstallation(SetupContext& ctx, InstallView& view);

// Step 3: the survey with its step label.
bool SurveyStep(SetupContext& ctx, InstallView& view);

// The window's first activation: clears the run's flags, runs the installation and keeps its result in
// InstallSucceeded. The window then shows the result screen and unloads.
void RunFirstActivation(SetupContext& ctx, InstallView& view);

} // namespace marvek::setup
