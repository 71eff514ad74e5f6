#include "shared/helpers/ShellHelpers.h"

#include "platform/FileVersion.h"
#include "platform/Shell.h"
#include "platform/Shortcut.h"

namespace marvek::shared {

namespace {

constexpr qsizetype UserNameBufferSize = 256;
constexpr int ShellFailureLimit = 32;

QString cutAtNul(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

} // namespace

QString RegReadString(const SharedContext& ctx, quint32 hive, const QString& subKey,
                      const QString& valueName) {
    return ctx.os.registry().readString(hive, subKey, valueName);
}

QString GetSpecialFolderPath(const SharedContext& ctx, int folderId) {
    return cutAtNul(ctx.os.files().specialFolder(folderId));
}

bool CreateShortcut(const SharedContext& ctx, const QString& linkPath, const ShortcutSpec& spec) {
    const QString hostPath = ctx.os.machine().toHost(linkPath);
    if (hostPath.isEmpty())
        return false;
    platform::ShortcutProperties props;
    props.targetPath = spec.TargetPath;
    props.arguments = spec.Arguments;
    props.workingDirectory = spec.WorkingDirectory;
    props.description = spec.Description;
    props.iconLocation = spec.IconLocation;
    props.hotkey = spec.Hotkey;
    props.windowStyle = spec.WindowStyle;
    return platform::writeShortcut(ctx.os.machine(), hostPath, props);
}

void CreateProgramShortcut(const SharedContext& ctx, int folderId, const QString& caption,
                           const QString& target) {
    const QString folder = GetSpecialFolderPath(ctx, folderId);
    if (folder.isEmpty())
        return;
    const QString link = folder + QLatin1Char('\\') + caption + QStringLiteral(".lnk");
    if (ctx.os.files().exists(link))
        return;
    ShortcutSpec spec;
    spec.TargetPath = target;
    spec.WorkingDirectory = QStringLiteral("C:\\");
    spec.WindowStyle = 1;
    CreateShortcut(ctx, link, spec);
}

QString BrowseForFolder(const SharedContext& ctx, const QString& title, const QString& initialFolder) {
    const std::optional<QString> chosen = ctx.os.ui().browseForFolder(title, initialFolder);
    return chosen && !chosen->isEmpty() ? *chosen : initialFolder;
}

bool GetFileVersion(const SharedContext& ctx, const QString& path, int& major, int& minor, int& build,
                    int& revision) {
    const QString hostPath = ctx.os.machine().toHost(path);
    if (hostPath.isEmpty())
        return false;
    const std::optional<platform::FileVersion> version = platform::readFileVersion(hostPath);
    if (!version)
        return false;
    major = version->major;
    minor = version->minor;
    build = version->build;
    revision = version->revision;
    return true;
}

qint16 FindOrOpenBrowserWindow(const SharedContext& ctx, const QString& pagePath) {
    return platform::openInWebBrowser(ctx.os.machine(), pagePath) < ShellFailureLimit ? BrowserWindowFailed
                                                                                      : BrowserWindowOpened;
}

QString GetLoginUserName(const SharedContext& ctx) {
    return cutAtNul(ctx.os.machineInfo().logonName()).left(UserNameBufferSize - 1);
}

} // namespace marvek::shared
