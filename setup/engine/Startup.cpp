#include "setup/engine/Startup.h"

#include "platform/ProgramMark.h"
#include "platform/Registry.h"
#include "shared/access/AccessControl.h"
#include "shared/config/Language.h"
#include "shared/config/Messages.h"
#include "shared/config/SysParameters.h"
#include "shared/database/DatabaseRecovery.h"
#include "shared/database/JetProvider.h"
#include "shared/helpers/FileHelpers.h"
#include "shared/helpers/ProcessHelpers.h"
#include "shared/helpers/ShellHelpers.h"
#include "shared/maninfo/AutRunLocalRead.h"

namespace marvek::setup {

namespace {

const QString MessageSection = QStringLiteral("MESSAGE");

QString readHklm(const SetupContext& ctx, const char* key, const char* value) {
    return shared::RegReadString(ctx.shared, platform::HKEY_LOCAL_MACHINE, QLatin1String(key),
                                 QLatin1String(value));
}

void fixedBox(SetupContext& ctx, const char* text) {
    ctx.os().ui().messageBox(QLatin1String(text), platform::mb::Exclamation, ctx.shared.ProgramTitle);
}

// Step 8: the registry values and the paths derived from them, in their order.
void settlePaths(SetupContext& ctx) {
    const platform::Files& files = ctx.os().files();
    ctx.ProgramPath = readHklm(ctx, ScanluxKey, "ProgramPath");
    ctx.ProgramFilesDir = readHklm(ctx, WindowsVersionKey, "ProgramFilesDir");
    ctx.ProgramFilesDrive = GetDriveName(ctx.ProgramFilesDir);
    ctx.LinkManualDir = ctx.ProgramPath + QStringLiteral("\\Link\\Manual");
    ctx.LinkDir = ctx.ProgramPath + QStringLiteral("\\Link");
    if (!files.folderExists(ctx.LinkDir))
        files.createFolder(ctx.LinkDir);
    ctx.ViewerDir = readHklm(ctx, ViewerKey, "InstallDir");
    if (ctx.ViewerDir.isEmpty()) {
        const QString programFiles = ctx.shared.LanguageCode == QLatin1String("11")
                                         ? QStringLiteral("C:\\Program Files")
                                         : ctx.ProgramFilesDir;
        ctx.ViewerDir = programFiles + QStringLiteral("\\Marvek\\Scanlux\\View");
    }
    ctx.ViewerExePath = ctx.ViewerDir + QStringLiteral("\\Pagora.exe");
    ctx.shared.ManualLinkDir = readHklm(ctx, ManualLinkKey, "InstallDir");
    ctx.UnzipTempDir = ctx.shared.ManualLinkDir + QStringLiteral("\\UnZipTemp");
}

// Step 15: the first failing check's message number, or 0 when all pass.
int checkDatabase(SetupContext& ctx) {
    const platform::Files& files = ctx.os().files();
    if (!files.fileExists(ctx.DatabasePath))
        return 19;
    if (!IsManagerClosed(ctx))
        return 70;
    if (!ctx.Database().Pcls_MdbOpen(ctx.DatabasePath))
        return 20;
    const std::optional<quint32> attributes = files.attributes(ctx.DatabasePath);
    if (!attributes || (*attributes & platform::FILE_ATTRIBUTE_READONLY) != 0)
        return 67;
    return 0;
}

} // namespace

QString SourceRootOf(const QString& programFolder) {
    QString root = programFolder;
    for (int i = 0; i < 3; ++i)
        root = shared::ParentFolder(root);
    return root + QLatin1Char('\\');
}

QString GetDriveName(const QString& path) {
    if (path.size() >= 2 && path.at(1) == QLatin1Char(':') && path.at(0).isLetter() &&
        path.at(0).unicode() < 128)
        return path.left(2);
    if (path.startsWith(QLatin1String("\\\\"))) {
        // \\server\share: the server and the share name, both needed.
        const qsizetype shareStart = path.indexOf(QLatin1Char('\\'), 2);
        if (shareStart <= 2 || shareStart + 1 >= path.size())
            return {};
        const qsizetype shareEnd = path.indexOf(QLatin1Char('\\'), shareStart + 1);
        return shareEnd < 0 ? path : path.left(shareEnd);
    }
    return {};
}

StartOutcome StartSetup(SetupContext& ctx, const QString& programFolder, bool previousInstance) {
    if (previousInstance) {
        EndSetup(ctx, true);
        return StartOutcome::End;
    }
    ctx.shared.setProgramFolder(programFolder);
    const platform::Files& files = ctx.os().files();
    if (!files.fileExists(ctx.shared.SysParameterPath)) {
        fixedBox(ctx, NoParameterFile);
        EndSetup(ctx, true);
        return StartOutcome::End;
    }
    if (!shared::LoadSysParameters(ctx.shared)) {
        fixedBox(ctx, NoSystemData);
        EndSetup(ctx, true);
        return StartOutcome::End;
    }
    ctx.shared.LanguageCode = shared::GetLanguageCode(ctx.shared);
    settlePaths(ctx);
    ctx.shared.UserName = shared::GetLoginUserName(ctx.shared);
    ctx.shared.SourceRoot = SourceRootOf(programFolder);
    ctx.shared.UsersGroupName = shared::GetUsersGroupName(ctx.shared);

    if (!IsManualLinkInstalled(ctx)) {
        OpenStartPage(ctx, true);
        EndSetup(ctx, true);
        return StartOutcome::End;
    }

    ctx.ManualTable.clear();
    const shared::SystemParameters& parameters = ctx.shared.systemParameters;
    ctx.DatabasePath = ctx.shared.ManualLinkDir + QLatin1Char('\\') + parameters.DTX3_MDB_NAME;
    ctx.LockFilePath =
        ctx.shared.ManualLinkDir + QLatin1Char('\\') + shared::JetLockFileName(parameters.DTX3_MDB_NAME);

    shared::RestoreDatabaseBackup(ctx.shared, ctx.shared.ManualLinkDir, parameters.DTX3_MDB_NAME);
    const int failure = checkDatabase(ctx);
    if (failure == 0)
        return StartOutcome::ShowMenu;
    ctx.ErrorLine1 = Message(ctx, failure);
    ctx.ErrorLine2 = Message(ctx, 24);
    ctx.InstallSucceeded = false;
    return StartOutcome::ShowResult;
}

void EndSetup(SetupContext& ctx, bool skipCleanup) {
    ctx.db.Database.Release();
    ctx.db.NewDatabase.Release();
    if (!skipCleanup)
        shared::RunCleanupBatch(ctx.shared, ctx.UnzipTempDir);
}

bool OpenStartPage(SetupContext& ctx, bool withLatestCheck) {
    const platform::Files& files = ctx.os().files();
    const bool viewerInstalled = files.fileExists(ctx.ViewerExePath);
    const QString startPage = ctx.shared.SourceRoot + QStringLiteral("index.html");
    if (!files.fileExists(startPage))
        return true;

    if (withLatestCheck) {
        shared::AutRunLocalRead check(ctx.shared, ctx.shared.SourceRoot);
        switch (check.ManInfo_CheckLatest()) {
        case shared::CheckLatestResult::EndProgram:
            return false;
        case shared::CheckLatestResult::NotLatest:
            if (check.ManInfo_ShowNotLatest() == platform::mb::IdNo)
                return false;
            break;
        case shared::CheckLatestResult::Latest:
            break;
        }
    }

    if (viewerInstalled) {
        ctx.os().processes().startDetached(ctx.ViewerExePath + QLatin1Char(' ') + startPage,
                                           platform::WindowMode::Normal);
    } else {
        shared::FindOrOpenBrowserWindow(ctx.shared, GetDriveName(ctx.shared.ProgramFolder) +
                                                        QStringLiteral("\\index.html"));
    }
    return true;
}

bool IsManagerClosed(const SetupContext& ctx) {
    // The manager of another user of a shared machine does not show in this user's process list.
    if (platform::ProgramMark::isRunning(ctx.os().machine(), ctx.shared.systemParameters.MCP_EXE_NAME))
        return false;
    const QStringList names = ctx.os().processes().runningExecutableNames();
    if (names.isEmpty())
        return !ctx.os().files().exists(ctx.LockFilePath);
    return !names.contains(ctx.shared.systemParameters.MCP_EXE_NAME, Qt::CaseSensitive);
}

bool IsManualLinkInstalled(const SetupContext& ctx) {
    const platform::Files& files = ctx.os().files();
    const QString& folder = ctx.shared.ManualLinkDir;
    return files.folderExists(folder) &&
           files.fileExists(folder + QLatin1Char('\\') + ctx.shared.systemParameters.DTX3_EXE_NAME);
}

} // namespace marvek::setup
