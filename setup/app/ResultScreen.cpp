#include "setup/app/ResultScreen.h"

#include "setup/engine/DatabaseUpgrade.h"
#include "shared/config/Messages.h"
#include "shared/helpers/ProcessHelpers.h"

#include <QCoreApplication>
#include <QTimer>

namespace marvek::setup {

namespace {

QString message(const SetupContext& ctx, int number) {
    return shared::GetMessage(ctx.shared, QLatin1String(shared::MessageSection), number);
}

} // namespace

std::pair<QString, QString> ResultLines(const SetupContext& ctx) {
    if (ctx.ErrorLine1.isEmpty() && ctx.ErrorLine2.isEmpty())
        return {message(ctx, 64), message(ctx, 65)};
    return {ctx.ErrorLine1, ctx.ErrorLine2};
}

void FinishResult(SetupContext& ctx, ScreenFlow& flow) {
    if (!ctx.InstallSucceeded && !ctx.CancelRequested) {
        flow.endSetup(false);
        return;
    }
    shared::RunCleanupBatch(ctx.shared, ctx.UnzipTempDir);
    RepairInstalledManuals(ctx);
    flow.showClosing();
}

void OpenResultStandIn(SetupContext& ctx, ScreenFlow& flow) {
    QTimer::singleShot(0, QCoreApplication::instance(), [&ctx, &flow] {
        ctx.shared.AppTitle = message(ctx, 34);
        const auto [first, second] = ResultLines(ctx);
        ctx.os().ui().messageBox(first + QStringLiteral("\r\n") + second, platform::mb::Information,
                                 ctx.shared.AppTitle);
        FinishResult(ctx, flow);
    });
}

} // namespace marvek::setup
