#include "cd/companions/manager_setup/ManagerSetup.h"

#include "cd/companions/common/CompanionInstall.h"
#include "shared/helpers/FileHelpers.h"

namespace marvek::companions {

namespace {

const QString ProgramName = QStringLiteral("Mandex.exe");
// The manager's own configuration beside it: its parameters, message catalogues and clean-up batch, the
// same as the installer's on the CD (programs\setup\SysDir).
const QString CdSysDir = QStringLiteral("..\\..\\setup\\SysDir\\");
const QStringList SysDirFiles = {QStringLiteral("SysParameter.ini"), QStringLiteral("M09.ini"),
                                 QStringLiteral("M11.ini"), QStringLiteral("RmDir.bat")};

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
        QStringList payload{program};
        for (const QString& name : SysDirFiles)
            payload.append(run.payloadPath(CdSysDir + name));
        result = run.checkPayload(payload);
        if (result == InstallResult::Success)
            result = run.createFolder(folder + QStringLiteral("\\SysDir"));
        for (const QString& name : SysDirFiles) {
            if (result == InstallResult::Success)
                result = run.installFile(run.payloadPath(CdSysDir + name),
                                         folder + QStringLiteral("\\SysDir\\") + name);
        }
        if (result == InstallResult::Success)
            result = run.installFile(program, folder + QLatin1Char('\\') + ProgramName);
    }
    return run.finish(result, QString());
}

} // namespace marvek::companions
