#include "cd/companions/view_setup/ViewerSetup.h"

#include "cd/companions/common/CompanionInstall.h"
#include "shared/helpers/FileHelpers.h"

namespace marvek::companions {

bool IsJapanesePackage(const shared::SharedContext& ctx, const QString& packageName) {
    if (packageName.compare(QLatin1String("PG002JP.exe"), Qt::CaseInsensitive) == 0)
        return true;
    if (packageName.compare(QLatin1String("PG002.exe"), Qt::CaseInsensitive) == 0)
        return false;
    return ctx.LanguageCode == QLatin1String("11");
}

int ViewerSetup(shared::SharedContext& ctx, const QString& packageName, const QStringList& payload,
                const QStringList& arguments) {
    InstallRun run(ctx, QStringLiteral("Viewer setup (") + packageName + QLatin1Char(')'), arguments);
    QString folder = shared::StripTrailingSeparator(RecordedInstallDir(ctx, ViewerKey));
    if (folder.isEmpty())
        folder = DefaultViewerDir(ctx, IsJapanesePackage(ctx, packageName));
    run.note(QStringLiteral("Folder: ") + folder);

    QStringList sources;
    for (const QString& name : payload)
        sources.append(run.payloadPath(name));
    InstallResult result = run.checkPayload(sources);
    if (result == InstallResult::Success)
        result = run.createFolder(folder);
    for (qsizetype i = 0; i < payload.size() && result == InstallResult::Success; ++i)
        result = run.installFile(sources[i], folder + QLatin1Char('\\') + payload[i]);
    if (result == InstallResult::Success)
        result = run.recordFolder(ViewerKey, folder);
    return run.finish(result, folder);
}

} // namespace marvek::companions
