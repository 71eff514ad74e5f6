#include "cd/companions/common/CompanionInstall.h"

#include "platform/Registry.h"
#include "platform/TextCodec.h"
#include "shared/access/AccessControl.h"
#include "shared/helpers/ShellHelpers.h"

#include <QFile>
#include <QSaveFile>
#include <cstdio>

namespace marvek::companions {

namespace {

const QString ProgramFilesKey = QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
const QString FixedProgramFiles = QStringLiteral("C:\\Program Files");

// A side file is made beside its target and renamed over it once complete.
QString sideName(const QString& target) {
    return target + QStringLiteral(".new");
}

} // namespace

QString ProgramFilesFolder(const shared::SharedContext& ctx) {
    const QString recorded = shared::RegReadString(ctx, platform::HKEY_LOCAL_MACHINE, ProgramFilesKey,
                                                   QStringLiteral("ProgramFilesDir"));
    return recorded.isEmpty() ? FixedProgramFiles : recorded;
}

QString RecordedInstallDir(const shared::SharedContext& ctx, const char* key) {
    return shared::RegReadString(ctx, platform::HKEY_LOCAL_MACHINE, QLatin1String(key),
                                 QLatin1String(InstallDirValue));
}

QString DefaultManualLinkDir(const shared::SharedContext& ctx) {
    return ProgramFilesFolder(ctx) + QStringLiteral("\\Marvek\\Scanlux\\ManualLink");
}

QString DefaultViewerDir(const shared::SharedContext& ctx, bool japanese) {
    return (japanese ? FixedProgramFiles : ProgramFilesFolder(ctx)) +
           QStringLiteral("\\Marvek\\Scanlux\\View");
}

InstallRun::InstallRun(shared::SharedContext& ctx, const QString& description, const QStringList& arguments)
    : m_ctx(ctx) {
    note(description);
    note(QStringLiteral("Installer folder: ") + ctx.ProgramFolder);
    note(QStringLiteral("Arguments: ") + arguments.join(QLatin1Char(' ')));
}

void InstallRun::note(const QString& line) {
    m_notes.append(line);
}

QString InstallRun::payloadPath(const QString& name) const {
    return m_ctx.ProgramFolder + QLatin1Char('\\') + name;
}

InstallResult InstallRun::checkPayload(const QStringList& paths) {
    for (const QString& path : paths) {
        if (!m_ctx.os.files().fileExists(path)) {
            note(QStringLiteral("Missing: ") + path);
            return InstallResult::PayloadMissing;
        }
    }
    return InstallResult::Success;
}

InstallResult InstallRun::createFolder(const QString& folder) {
    if (m_ctx.os.files().folderExists(folder) || m_ctx.os.files().createFolderPath(folder))
        return InstallResult::Success;
    note(QStringLiteral("Cannot create the folder ") + folder);
    return InstallResult::FolderNotCreated;
}

InstallResult InstallRun::copyToSide(const QString& source, const QString& side) {
    const platform::Files& files = m_ctx.os.files();
    if (files.exists(side) && !files.removeFile(side)) {
        note(QStringLiteral("Cannot remove ") + side);
        return InstallResult::CopyFailed;
    }
    if (!files.copyFile(source, side) || !files.setAttributes(side, platform::FILE_ATTRIBUTE_NORMAL)) {
        files.removeFile(side);
        note(QStringLiteral("Cannot copy ") + source + QStringLiteral(" to ") + side);
        return InstallResult::CopyFailed;
    }
    return InstallResult::Success;
}

InstallResult InstallRun::installFile(const QString& source, const QString& target) {
    const platform::Files& files = m_ctx.os.files();
    const QString side = sideName(target);
    if (const InstallResult copied = copyToSide(source, side); copied != InstallResult::Success)
        return copied;
    const bool replaced = !files.exists(target) || files.removeFile(target);
    if (!replaced || !files.rename(side, target)) {
        files.removeFile(side);
        note(QStringLiteral("Cannot replace ") + target);
        return InstallResult::CopyFailed;
    }
    note(QStringLiteral("Installed: ") + target);
    return InstallResult::Success;
}

InstallResult InstallRun::installFileOnce(const QString& source, const QString& target,
                                          InstallResult onFailure) {
    const platform::Files& files = m_ctx.os.files();
    if (files.exists(target)) {
        note(QStringLiteral("Kept: ") + target);
        return InstallResult::Success;
    }
    const QString side = sideName(target);
    if (copyToSide(source, side) != InstallResult::Success)
        return onFailure;
    // The rename never replaces: a file that appeared meanwhile is kept too.
    if (!files.rename(side, target)) {
        files.removeFile(side);
        if (files.exists(target)) {
            note(QStringLiteral("Kept: ") + target);
            return InstallResult::Success;
        }
        note(QStringLiteral("Cannot create ") + target);
        return onFailure;
    }
    note(QStringLiteral("Created: ") + target + QStringLiteral(" from ") + source);
    return InstallResult::Success;
}

InstallResult InstallRun::grantUsersAccess(const QString& folder) {
    m_ctx.UsersGroupName = shared::GetUsersGroupName(m_ctx);
    if (m_ctx.UsersGroupName.isEmpty() || !shared::IsNtfsVolume(m_ctx, folder)) {
        note(QStringLiteral("No access list for the users group on ") + folder);
        return InstallResult::Success;
    }
    if (!shared::GrantUsersFolderAccess(m_ctx, folder)) {
        note(QStringLiteral("Cannot give the users group access to ") + folder);
        return InstallResult::AccessNotGranted;
    }
    note(QStringLiteral("Users group access: ") + folder);
    return InstallResult::Success;
}

InstallResult InstallRun::recordFolder(const char* key, const QString& folder) {
    if (!m_ctx.os.registry().writeString(platform::HKEY_LOCAL_MACHINE, QLatin1String(key),
                                         QLatin1String(InstallDirValue), folder)) {
        note(QStringLiteral("Cannot record the folder in the registry"));
        return InstallResult::RegistryNotWritten;
    }
    note(QStringLiteral("Recorded: HKEY_LOCAL_MACHINE\\") + QLatin1String(key) + QStringLiteral(" ") +
         QLatin1String(InstallDirValue) + QStringLiteral("=") + folder);
    return InstallResult::Success;
}

int InstallRun::finish(InstallResult result, const QString& logFolder) {
    const int code = static_cast<int>(result);
    if (result != InstallResult::Success) {
        for (const QString& line : std::as_const(m_notes))
            std::fprintf(stderr, "%s\n", qPrintable(line));
    }
    if (logFolder.isEmpty())
        return code;
    const QString logPath = logFolder + QLatin1Char('\\') + QLatin1String(ResultLogName);
    const QString host = m_ctx.os.machine().toHost(logPath);
    const QString text =
        (m_notes + QStringList{QString::number(code)}).join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    const QByteArray bytes = platform::encodeCodePage(text, m_ctx.os.machineInfo().ansiCodePage());
    // A run that failed before making its folder still leaves its log where the caller looks for it.
    m_ctx.os.files().createFolderPath(logFolder);
    QSaveFile log(host);
    const bool written =
        !host.isEmpty() && log.open(QIODevice::WriteOnly) && log.write(bytes) == bytes.size() && log.commit();
    if (!written) {
        std::fprintf(stderr, "Cannot write %s\n", qPrintable(logPath));
        return result == InstallResult::Success ? static_cast<int>(InstallResult::LogNotWritten) : code;
    }
    return code;
}

} // namespace marvek::companions
