#include "shared/access/AccessControl.h"

#include "platform/Acl.h"

namespace marvek::shared {

namespace {

constexpr qsizetype AccountNameBufferSize = 255;
constexpr qsizetype ErrorTextBufferSize = 256;
constexpr quint32 FirstNetworkError = 2100;
constexpr quint32 LastNetworkError = 2999;

QString cutAtNul(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

void showSystemError(const SharedContext& ctx, quint32 code) {
    ctx.os.ui().messageBox(GetSystemErrorText(ctx, code), platform::mb::OKOnly, ctx.ProgramTitle);
}

bool isNtfsVolume(const platform::Platform& os, const QString& path) {
    const QString root = path.left(3).toUpper();
    const bool driveRoot = root.size() == 3 && root.at(0) >= QLatin1Char('A') &&
                           root.at(0) <= QLatin1Char('Z') && root.at(1) == QLatin1Char(':') &&
                           root.at(2) == QLatin1Char('\\');
    if (!driveRoot)
        return false;
    return os.files().volumeFileSystem(root).left(4).toUpper() == QLatin1String("NTFS");
}

// The grant of full access to one file for a trustee: the Windows error code of the failing call.
quint32 grantFullAccessCode(const platform::Platform& os, const QString& path, const QString& trustee) {
    if (!isNtfsVolume(os, path))
        return platform::ERROR_SUCCESS;
    const QString hostPath = os.machine().toHost(path);
    const platform::AclResult current = platform::readAccessEntries(hostPath);
    if (current.error != platform::ERROR_SUCCESS)
        return current.error;
    return platform::setGroupAccess(hostPath, trustee, platform::FILE_ALL_ACCESS, platform::NO_INHERITANCE);
}

// The same with the message of a failing call.
bool grantFullAccess(const SharedContext& ctx, const QString& path, const QString& trustee) {
    const quint32 error = grantFullAccessCode(ctx.os, path, trustee);
    if (error != platform::ERROR_SUCCESS) {
        showSystemError(ctx, error);
        return false;
    }
    return true;
}

// The machine's users group as an account-name buffer holds it; empty when it does not fit.
QString usersGroupOf(const platform::Machine& machine) {
    const QString name = cutAtNul(platform::usersGroupName(machine));
    return name.size() < AccountNameBufferSize ? name : QString();
}

} // namespace

QString GetUsersGroupName(const SharedContext& ctx) {
    return usersGroupOf(ctx.os.machine());
}

bool IsNtfsVolume(const SharedContext& ctx, const QString& path) {
    return isNtfsVolume(ctx.os, path);
}

bool GrantUsersFullAccess(const SharedContext& ctx, const QString& path) {
    return grantFullAccess(ctx, path, ctx.UsersGroupName);
}

bool GrantUsersFullAccessQuietly(const platform::Platform& os, const QString& path) {
    const QString users = usersGroupOf(os.machine());
    return !users.isEmpty() && grantFullAccessCode(os, path, users) == platform::ERROR_SUCCESS;
}

QString HostTrusteeName(const SharedContext& ctx, const QString& windowsName) {
    if (windowsName.compare(QLatin1String(FixedUsersTrustee), Qt::CaseInsensitive) == 0)
        return GetUsersGroupName(ctx);
    return windowsName;
}

bool GrantFixedUsersFullAccess(const SharedContext& ctx, const QString& path) {
    return grantFullAccess(ctx, path, HostTrusteeName(ctx, QLatin1String(FixedUsersTrustee)));
}

bool HasUsersFolderAccess(const SharedContext& ctx, const QString& folder) {
    const platform::AclResult list = platform::readAccessEntries(ctx.os.machine().toHost(folder));
    if (list.error != platform::ERROR_SUCCESS) {
        showSystemError(ctx, list.error);
        return false;
    }
    const QString users = cutAtNul(ctx.UsersGroupName);
    if (users.isEmpty())
        return false;
    for (const platform::AccessEntry& entry : list.entries) {
        if (cutAtNul(entry.trustee) != users)
            continue;
        if (entry.type == platform::ACCESS_DENIED_ACE_TYPE ||
            AccessMaskLetters(entry.mask) == QLatin1String("RWXD"))
            return true;
    }
    return false;
}

bool GrantUsersFolderAccess(const SharedContext& ctx, const QString& folder) {
    const QString hostPath = ctx.os.machine().toHost(folder);
    if (platform::readAccessEntries(hostPath).error != platform::ERROR_SUCCESS)
        return false;
    return platform::setGroupAccess(hostPath, ctx.UsersGroupName, platform::GENERIC_RWX_DELETE,
                                    platform::SUB_CONTAINERS_AND_OBJECTS_INHERIT) == platform::ERROR_SUCCESS;
}

QString GetSystemErrorText(const SharedContext& ctx, quint32 code) {
    // There is no per-thread last error here: code 0 stays the success code.
    const bool network = code >= FirstNetworkError && code <= LastNetworkError &&
                         ctx.os.files().fileExists(QStringLiteral("C:\\WINNT\\SYSTEM32\\NETMSG.DLL"));
    return cutAtNul(platform::systemErrorText(code, network)).left(ErrorTextBufferSize - 1);
}

QString AccessMaskLetters(quint32 mask) {
    const auto has = [mask](quint32 bits) {
        return (mask & bits) == bits;
    };
    if (has(0x1F01FFu))
        return QStringLiteral("All");
    QString letters;
    if (has(0x120089u))
        letters += QLatin1Char('R');
    if (has(0x120116u))
        letters += QLatin1Char('W');
    if (has(0x1200A0u))
        letters += QLatin1Char('X');
    if (has(0x10000u))
        letters += QLatin1Char('D');
    if (has(0x40000u))
        letters += QLatin1Char('P');
    if (has(0x80000u))
        letters += QLatin1Char('O');
    return letters;
}

} // namespace marvek::shared
