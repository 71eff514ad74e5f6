#include "shared/maintenance/ManualFolderRemoval.h"

#include "shared/config/RegistryKeys.h"
#include "shared/helpers/ShellHelpers.h"

#include <QStringList>

namespace marvek::shared {

namespace {

// A full drive path "X:\..." (a relative or empty registry value names no folder to keep).
bool isDrivePath(const QString& path) {
    return path.size() >= 3 && path.at(0).isLetter() && path.at(1) == QLatin1Char(':') &&
           (path.at(2) == QLatin1Char('\\') || path.at(2) == QLatin1Char('/'));
}

// True when inner is folder itself or lies below it; both are final paths, compared as Windows does.
bool isSameOrBelow(const QString& folder, const QString& inner) {
    if (folder.isEmpty() || inner.isEmpty())
        return false;
    if (inner.compare(folder, Qt::CaseInsensitive) == 0)
        return true;
    const QString prefix = folder.endsWith(QLatin1Char('\\')) ? folder : folder + QLatin1Char('\\');
    return inner.startsWith(prefix, Qt::CaseInsensitive);
}

// The folders no manual's removal may take: the diagnostic software's, the manuals' parent below it,
// the manual-link folder with the database and the program's own folder.
QStringList keptFolders(const SharedContext& ctx) {
    const QString programPath = RegReadString(ctx, platform::HKEY_LOCAL_MACHINE, QLatin1String(ScanluxKey),
                                              QStringLiteral("ProgramPath"));
    QStringList kept;
    for (const QString& folder : {programPath, programPath + QStringLiteral("\\Link\\Manual"),
                                  ctx.ManualLinkDir, ctx.ProgramFolder}) {
        if (isDrivePath(folder))
            kept.append(folder);
    }
    return kept;
}

QString refusalText(const SharedContext& ctx, const QString& folder) {
    if (ctx.LanguageCode == QLatin1String("11"))
        return QStringLiteral("フォルダ \"%1\" は削除しません。ほかのマニュアルやプログラムを含むフォルダ、"
                              "リンクでほかの場所を指すフォルダは削除できません。")
            .arg(folder);
    return QStringLiteral("The folder \"%1\" was not removed: a folder that holds other manuals or programs, "
                          "or that a link takes elsewhere, cannot be removed.")
        .arg(folder);
}

} // namespace

ManualFolderCheck CheckManualFolder(const SharedContext& ctx, ManualDatabase& db, const QString& pubNo,
                                    const QString& folder) {
    if (!IsRemovableFolderPath(folder))
        return ManualFolderCheck::UnsafePath;
    const platform::Files& files = ctx.os.files();
    const QString real = files.finalPath(folder);
    if (real.isEmpty() || real != files.fullPath(folder))
        return ManualFolderCheck::Protected;

    for (const QString& kept : keptFolders(ctx)) {
        if (isSameOrBelow(real, files.finalPath(kept)))
            return ManualFolderCheck::Protected;
    }
    bool holdsOther = false;
    const bool read = db.ReadInstallFolders([&](const QString& otherPubNo, const QString& insPath) {
        if (!holdsOther && otherPubNo.compare(pubNo, Qt::CaseInsensitive) != 0 && isDrivePath(insPath))
            holdsOther = isSameOrBelow(real, files.finalPath(insPath));
    });
    return read && !holdsOther ? ManualFolderCheck::Removable : ManualFolderCheck::Protected;
}

bool RemoveManualFolder(const SharedContext& ctx, ManualDatabase& db, const QString& pubNo,
                        const QString& folder, BatchQuoting quoting) {
    if (CheckManualFolder(ctx, db, pubNo, folder) == ManualFolderCheck::Protected) {
        ctx.os.ui().messageBox(refusalText(ctx, folder), platform::mb::OKOnly | platform::mb::Exclamation,
                               ctx.AppTitle);
        return false;
    }
    // An unsafe path is refused there, with its own box.
    return RunCleanupBatch(ctx, folder, quoting);
}

} // namespace marvek::shared
