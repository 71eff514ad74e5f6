#include "cd/companions/manager_setup/ManagerSetup.h"

#include "cd/companions/common/CompanionInstall.h"
#include "shared/helpers/FileHelpers.h"

namespace marvek::companions {

namespace {

const QString ProgramName = QStringLiteral("Mandex.exe");

} // namespace

int ManagerSetup(shared::SharedContext& ctx, const QStringList& arguments) {
    InstallRun run(ctx, QStringLiteral("Manual manager setup"), arguments);
    const QString folder = shared::StripTrailingSeparator(RecordedInstallDir(ctx, ManualLinkKey));
    run.note(QStringLiteral("Folder: ") + folder);
    InstallResult result = InstallResult::NotRegistered;
    if (folder.isEmpty()) {
        run.note(QStringLiteral("The manual-link component is not installed"));
    } else {
        const QString program = run.payloadPath(ProgramName);
        result = run.checkPayload({program});
        if (result == InstallResult::Success)
            result = run.createFolder(folder);
        if (result == InstallResult::Success)
            result = run.installFile(program, folder + QLatin1Char('\\') + ProgramName);
    }
    return run.finish(result, QString());
}

} // namespace marvek::companions
