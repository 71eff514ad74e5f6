#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

namespace marvek::platform {

// Windows access-control view of the POSIX access lists of a host path.
//
// An entry for a group maps onto Windows masks as follows (and back):
//   access entry rwx, no default entry           full access 0x1F01FF, no inheritance
//   access entry + default entry rwx (folders)   generic read|write|execute|delete 0xE0010000,
//                                                inherited by files and folders (3); read back as the
//                                                specific rights 0x1301BF ("RWXD")
//   access entry with no permissions ("---")     an access-denied entry (type 1)
//   any other permissions                        r -> 0x120089, w -> 0x120116, x -> 0x1200A0
inline constexpr quint32 FILE_ALL_ACCESS = 0x1F01FFu;
inline constexpr quint32 GENERIC_RWX_DELETE = 0xE0010000u;
inline constexpr quint8 ACCESS_ALLOWED_ACE_TYPE = 0;
inline constexpr quint8 ACCESS_DENIED_ACE_TYPE = 1;
inline constexpr int SET_ACCESS = 2;
inline constexpr int NO_INHERITANCE = 0;
inline constexpr int SUB_CONTAINERS_AND_OBJECTS_INHERIT = 3;

// Windows error codes the access functions return.
inline constexpr quint32 ERROR_SUCCESS = 0;
inline constexpr quint32 ERROR_FILE_NOT_FOUND = 2;
inline constexpr quint32 ERROR_ACCESS_DENIED = 5;
inline constexpr quint32 ERROR_NOT_SUPPORTED = 50;
inline constexpr quint32 ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr quint32 ERROR_NONE_MAPPED = 1332;

struct AccessEntry {
    quint8 type = ACCESS_ALLOWED_ACE_TYPE;
    quint32 mask = 0;
    QString trustee; // group or user name; empty for the owner, group-owner and other entries
};

struct AclResult {
    quint32 error = ERROR_SUCCESS;
    std::vector<AccessEntry> entries;
};

// Name of the local group that stands for the built-in users group ("users"); empty when the host
// has no such group.
QString usersGroupName();
// True when the file system of a host path keeps POSIX access lists.
bool supportsAccessLists(const QString& hostPath);
// The named group entries of a host path as Windows entries.
AclResult readAccessEntries(const QString& hostPath);
// Adds or replaces the entry of a group (mode SET_ACCESS) with the mask and inheritance above.
// Returns a Windows error code: ERROR_NONE_MAPPED for an unknown or empty trustee.
quint32 setGroupAccess(const QString& hostPath, const QString& trustee, quint32 mask, int inheritance);

// The system's text for a Windows error code (a table of the codes the suite meets, then strerror-like
// fallbacks); empty for an unknown code. Network codes 2100-2999 come from the network message table
// only when networkMessages is true.
QString systemErrorText(quint32 code, bool networkMessages);

} // namespace marvek::platform
