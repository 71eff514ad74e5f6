#pragma once

#include "shared/Context.h"

#include <QString>
#include <QtGlobal>

namespace marvek::shared {

// The trustee name the launcher grants access to; it stands for the built-in users group.
inline constexpr auto FixedUsersTrustee = "Users";

// Name of the local group standing for the built-in users group of the context's machine (the group of
// a shared machine, else "users"); empty when there is none.
QString GetUsersGroupName(const SharedContext& ctx);

// True when the volume of the path's first three characters ("C:\") keeps access lists (reported as
// "NTFS"). A path not starting with a drive root, such as a network share, is not.
bool IsNtfsVolume(const SharedContext& ctx, const QString& path);

// Gives ctx.UsersGroupName full access to a file, without inheritance. True on success and when the
// volume keeps no access lists; a failing call shows the system error text (OK, ctx.ProgramTitle) and
// returns false.
bool GrantUsersFullAccess(const SharedContext& ctx, const QString& path);

// The grant of GrantUsersFullAccess to the local users group (GetUsersGroupName), without messages, for a
// file that any user's program may make and every user's must write (the search index). True on success
// and when the volume keeps no access lists.
bool GrantUsersFullAccessQuietly(const platform::Platform& os, const QString& path);

// A Windows account name as this host knows it: the built-in group name "Users" (any case) is the local
// users group (GetUsersGroupName), because group names here are case-sensitive and differ; any other
// name is kept.
QString HostTrusteeName(const SharedContext& ctx, const QString& windowsName);

// The launcher's variant: the trustee is the fixed name "Users", which on this host names the local
// users group (GetUsersGroupName).
bool GrantFixedUsersFullAccess(const SharedContext& ctx, const QString& path);

// True when the folder's access list has an entry of ctx.UsersGroupName that is access-denied, or whose
// mask reads "RWXD" (an entry with full control does not count). A failing call shows the system error
// text and returns false.
bool HasUsersFolderAccess(const SharedContext& ctx, const QString& folder);

// Adds or replaces the users group's read/write/execute/delete entry, inherited by files and folders.
// True on success; failures are silent.
bool GrantUsersFolderAccess(const SharedContext& ctx, const QString& folder);

// The system's text for a Windows error code (255 characters at most). Network codes 2100-2999 take
// their text from the network message file "C:\WINNT\SYSTEM32\NETMSG.DLL" when that file exists.
QString GetSystemErrorText(const SharedContext& ctx, quint32 code);

// The permission letters of an access mask: "All" alone, else the letters of R, W, X, D, P, O present.
QString AccessMaskLetters(quint32 mask);

} // namespace marvek::shared
