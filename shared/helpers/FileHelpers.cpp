#include "shared/helpers/FileHelpers.h"

#include "shared/access/AccessControl.h"
#include "shared/helpers/ProcessHelpers.h"

#include <QFileInfo>

namespace marvek::shared {

namespace {

bool hasAnyAttribute(const platform::Files& files, const QString& path) {
    const std::optional<quint32> attributes = files.attributes(path);
    return attributes && (*attributes & ~platform::FILE_ATTRIBUTE_NORMAL) != 0;
}

// A copy may go ahead only from an existing file onto a different file: otherwise deleting the target
// would lose the only copy.
bool canReplace(const SharedContext& ctx, const QString& source, const QString& target) {
    if (!ctx.os.files().fileExists(source))
        return false;
    const QFileInfo sourceInfo(ctx.os.machine().toHost(source));
    const QFileInfo targetInfo(ctx.os.machine().toHost(target));
    return !targetInfo.exists() || sourceInfo.canonicalFilePath() != targetInfo.canonicalFilePath();
}

} // namespace

QString ParentFolder(const QString& path) {
    const qsizetype last = path.lastIndexOf(QLatin1Char('\\'));
    return last < 0 ? path : path.left(last);
}

QString StripTrailingSeparator(const QString& path) {
    const qsizetype n = path.size();
    if (n == 0)
        return path;
    if (path.at(n - 1) == QLatin1Char('\\') || (n >= 2 && path.at(n - 2) == QLatin1Char(':')))
        return path.left(n - 1);
    return path;
}

bool CopyFileReplacing(const SharedContext& ctx, const QString& source, const QString& target) {
    const platform::Files& files = ctx.os.files();
    // The copy engine calls this for every file, and most of its targets are new: a copy that refuses an
    // existing target settles those with one look at the target.
    if (!files.copyNewFile(source, target)) {
        if (!files.exists(target) || !canReplace(ctx, source, target))
            return false;
        if (hasAnyAttribute(files, target)) {
            files.setAttributes(target, platform::FILE_ATTRIBUTE_NORMAL);
            WaitSeconds(ctx, 1);
        }
        if (!files.removeFile(target) || !files.copyFile(source, target))
            return false;
    }
    return files.setAttributes(target, platform::FILE_ATTRIBUTE_NORMAL);
}

bool CopyFileWithAccess(const SharedContext& ctx, const QString& source, const QString& target) {
    const platform::Files& files = ctx.os.files();
    const auto pause = [&ctx] {
        WaitSeconds(ctx, 1);
        ctx.os.clock().processEvents();
    };
    if (!canReplace(ctx, source, target))
        return false;
    if (files.exists(target)) {
        if (hasAnyAttribute(files, target)) {
            files.setAttributes(target, platform::FILE_ATTRIBUTE_NORMAL);
            pause();
        }
        if (!files.removeFile(target))
            return false;
    }
    pause();
    if (!files.copyFile(source, target))
        return false;
    pause();
    if (!files.setAttributes(target, platform::FILE_ATTRIBUTE_NORMAL))
        return false;
    pause();
    if (GrantUsersFullAccess(ctx, target))
        WaitSeconds(ctx, 1);
    else
        ctx.os.ui().messageBox(QStringLiteral("Set Access Error = ") + target, platform::mb::OKOnly,
                               ctx.ProgramTitle);
    return true;
}

bool DeleteFileForce(const SharedContext& ctx, const QString& path) {
    const platform::Files& files = ctx.os.files();
    if (!files.fileExists(path))
        return true;
    if (hasAnyAttribute(files, path)) {
        files.setAttributes(path, platform::FILE_ATTRIBUTE_NORMAL);
        WaitSeconds(ctx, 1);
    }
    return files.removeFile(path);
}

bool IsSourceNewer(const SharedContext& ctx, const QString& source, const QString& target) {
    const platform::Files& files = ctx.os.files();
    if (!files.fileExists(target))
        return true;
    const std::optional<qint64> sourceMs = files.lastModifiedMs(source);
    const std::optional<qint64> targetMs = files.lastModifiedMs(target);
    if (!sourceMs || !targetMs)
        return false;
    const auto seconds = [](qint64 ms) {
        return ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    };
    return seconds(*sourceMs) > seconds(*targetMs);
}

bool IsWritable(const SharedContext& ctx, const QString& path) {
    const std::optional<quint32> attributes = ctx.os.files().attributes(path);
    return attributes && (*attributes & platform::FILE_ATTRIBUTE_READONLY) == 0;
}

bool ResetFolder(const SharedContext& ctx, const QString& path) {
    if (RefuseUnsafeRemoval(ctx, path))
        return false;
    const bool ran = RunCleanupBatch(ctx, path);
    ctx.os.files().createFolder(path);
    return ran;
}

} // namespace marvek::shared
