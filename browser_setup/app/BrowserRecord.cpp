#include "browser_setup/app/BrowserRecord.h"

#include "platform/FileVersion.h"
#include "shared/formdata/FormDataFiles.h"

#include <algorithm>

namespace marvek::browser_setup {

namespace {

// The run-time errors of a text file that cannot be created.
constexpr int ErrPathNotFound = 76;
constexpr int ErrPermissionDenied = 70;

QString parentFolder(const QString& path) {
    const qsizetype separator =
        std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    return separator < 0 ? QString() : path.left(separator);
}

} // namespace

QString BrowserFolder(const PagosetContext& ctx, bool japanese) {
    if (japanese)
        return QLatin1String(JapaneseBrowserFolder);
    return ctx.os.machineInfo().environmentVariable(QLatin1String(ProgramFilesVariable)) + QLatin1Char('\\') +
           QLatin1String(BrowserSubFolder);
}

QString GFncVer_Get(const PagosetContext& ctx, const QString& path) {
    const QString host = ctx.os.machine().toHost(path);
    const std::optional<platform::FileVersion> version =
        host.isEmpty() ? std::nullopt : platform::readFileVersion(host);
    if (!version)
        return {};
    return QString::number(qint16(version->major)) + QLatin1Char('.') +
           QString::number(qint16(version->minor)) + QLatin1Char('.') +
           QString::number(qint16(version->revision));
}

bool GFncFdf_Write(const PagosetContext& ctx, const QString& path, const QString& version) {
    const bool notInstalled =
        version.compare(QLatin1String(shared::BrowserNotInstalled), Qt::CaseInsensitive) == 0;
    const QString value = notInstalled ? version : QStringLiteral("Ver ") + version;
    if (shared::WriteBrowserVersionFile(ctx.os, path, value))
        return true;
    const bool folderMissing = !ctx.os.files().folderExists(parentFolder(path));
    const QString description =
        folderMissing ? QStringLiteral("Path not found") : QStringLiteral("Permission denied");
    const int number = folderMissing ? ErrPathNotFound : ErrPermissionDenied;
    ctx.os.ui().messageBox(description + QLatin1Char('[') + QString::number(number) + QLatin1Char(']'),
                           platform::mb::Exclamation, QLatin1String(FdfFailureTitle));
    return false;
}

QString GFncReg_Get(const PagosetContext& ctx, quint32 root, const QString& key, const QString& valueName) {
    return ctx.os.registry().readString(root, key, valueName);
}

bool GFncReg_Set(const PagosetContext& ctx, quint32 root, const QString& key, const QString& valueName,
                 const QString& text) {
    return ctx.os.registry().writeString(root, key, valueName, text);
}

} // namespace marvek::browser_setup
