#include "setup/engine/InstallRun.h"

#include "setup/engine/Companions.h"
#include "setup/engine/Pipeline.h"
#include "setup/engine/Survey.h"
#include "shared/helpers/ProcessHelpers.h"

namespace marvek::setup {

bool SurveyStep(SetupContext& ctx, InstallView& view) {
    MarkStepRunning(ctx, view, 3);
    const bool surveyed = SurveyManuals(ctx);
    shared::WaitSeconds(ctx.shared, 2);
    if (!surveyed)
        return false;
    MarkStepDone(ctx, view, 3);
    return true;
}

bool RunInstallation(SetupContext& ctx, InstallView& view) {
    view.setMousePointer(Hourglass);
    Pipeline pipeline(ctx, view);
    const bool succeeded = InstallManagerStep(ctx, view) && InstallLinkAndViewerStep(ctx, view) &&
                           SurveyStep(ctx, view) && pipeline.InstallStep();
    shared::WaitSeconds(ctx.shared, 1);
    view.setMousePointer(DefaultPointer);
    return succeeded;
}

void RunFirstActivation(SetupContext& ctx, InstallView& view) {
    ctx.InstallSucceeded = false;
    ctx.CancelRequested = false;
    ctx.InstallSucceeded = RunInstallation(ctx, view);
}

} // namespace marvek::setup
