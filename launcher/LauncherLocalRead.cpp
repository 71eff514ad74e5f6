#include "launcher/LauncherLocalRead.h"

#include "shared/access/AccessControl.h"
#include "shared/helpers/ProcessHelpers.h"

namespace marvek::launcher {

namespace {

// How many staging names are tried beside the target.
constexpr int StagingNames = 100;

// An empty file of a fresh name beside target for the new copy: "<target>.new", else "<target>.new1",
// ... A plain file left there by an interrupted replacement is cleared first; anything else under such a
// name (a folder, a symlink, a file that cannot be removed) is left alone and the next name taken. Empty
// when no name is free.
QString createStagingFile(const platform::Files& files, const QString& target) {
    for (int n = 0; n < StagingNames; ++n) {
        const QString name = target + QStringLiteral(".new") + (n == 0 ? QString() : QString::number(n));
        if (files.fileExists(name)) {
            files.setAttributes(name, platform::FILE_ATTRIBUTE_NORMAL);
            files.removeFile(name);
        }
        if (files.createNewFile(name))
            return name;
    }
    return {};
}

} // namespace

// The CD's catalogue is copied beside the target first, so that a copy that fails (the CD taken out,
// a full disk) is still ignored silently but no longer costs the PC its record of the newest issues.
void ReplaceFileWithAccess(const shared::SharedContext& ctx, const QString& source, const QString& target) {
    const platform::Files& files = ctx.os.files();
    auto& ui = ctx.os.ui();
    const QString staged = createStagingFile(files, target);
    if (staged.isEmpty())
        return;
    const auto discardStaged = [&files, &staged] {
        if (files.fileExists(staged)) {
            files.setAttributes(staged, platform::FILE_ATTRIBUTE_NORMAL);
            files.removeFile(staged);
        }
    };
    if (!files.copyFile(source, staged)) {
        discardStaged();
        return;
    }
    if (files.exists(target)) {
        const std::optional<quint32> attributes = files.attributes(target);
        bool cleared = attributes.has_value();
        if (cleared && (*attributes & ~platform::FILE_ATTRIBUTE_NORMAL) != 0) {
            cleared = files.setAttributes(target, platform::FILE_ATTRIBUTE_NORMAL);
            shared::WaitSeconds(ctx, 1);
        }
        if (!cleared || !files.removeFile(target)) {
            discardStaged();
            ui.messageBox(QStringLiteral("FILE KILL ERROR = ") + target, platform::mb::OKOnly, ctx.AppTitle);
            return;
        }
    }
    if (!files.rename(staged, target)) {
        discardStaged();
        return;
    }
    files.setAttributes(target, platform::FILE_ATTRIBUTE_NORMAL);
    if (!shared::GrantFixedUsersFullAccess(ctx, target))
        ui.messageBox(QStringLiteral("Set Access Error = ") + target, platform::mb::OKOnly, ctx.ProgramTitle);
}

LauncherLocalRead::LauncherLocalRead(const shared::SharedContext& ctx, QString cdRoot,
                                     const QString& languageId)
    : AutRunLocalRead(ctx, std::move(cdRoot)),
      m_languageId(languageId == QLatin1String(JapaneseLanguageId) ? languageId : QStringLiteral("0409")) {
}

bool LauncherLocalRead::japanese() const {
    return m_languageId == QLatin1String(JapaneseLanguageId);
}

QString LauncherLocalRead::notLatestLine(const shared::ManInfoRecord& record) const {
    if (japanese()) {
        return record.model + QStringLiteral(" 区分") + record.classification + QStringLiteral(" （") +
               record.key + QStringLiteral("） ") + QStringLiteral("が最新のマニュアルではありません。");
    }
    return record.model + QStringLiteral(" classification ") + record.classification +
           QStringLiteral(" type(") + record.key + QStringLiteral(") ") +
           QStringLiteral(" is not the latest manuals.");
}

QString LauncherLocalRead::closingText1() const {
    return japanese() ? QStringLiteral("最新のハイブリッド版サービスマニュアルをご使用下さい。")
                      : QStringLiteral("Use the latest hybrid version service manual CD.");
}

QString LauncherLocalRead::closingText2() const {
    return japanese() ? QStringLiteral("このまま閲覧しますか？")
                      : QStringLiteral("Do you want to view as is ?");
}

void LauncherLocalRead::replaceLocalFile(const QString& source, const QString& target) {
    ReplaceFileWithAccess(m_ctx, source, target);
}

} // namespace marvek::launcher
