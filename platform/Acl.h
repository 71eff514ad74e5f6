#pragma once

#include "Machine.h"

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
// Permissions are read through the ACL mask entry (the rights that take effect); an entry that the mask
// alone empties is an allowed entry with mask 0, not a denial. A default entry alone,
// without an access entry for the group, is not reported.
inline constexpr quint32 FILE_ALL_ACCESS = 0x1F01FFu;
inline constexpr quint32 GENERIC_RWX_DELETE = 0xE0010000u;
inline constexpr quint32 FILE_GENERIC_READ = 0x120089u;
inline constexpr quint32 FILE_GENERIC_WRITE = 0x120116u;
inline constexpr quint32 FILE_GENERIC_EXECUTE = 0x1200A0u;
inline constexpr quint32 DELETE_ACCESS = 0x10000u;
inline constexpr quint32 GENERIC_READ = 0x80000000u;
inline constexpr quint32 GENERIC_WRITE = 0x40000000u;
inline constexpr quint32 GENERIC_EXECUTE = 0x20000000u;
inline constexpr quint32 GENERIC_ALL = 0x10000000u;
inline constexpr quint8 ACCESS_ALLOWED_ACE_TYPE = 0;
inline constexpr quint8 ACCESS_DENIED_ACE_TYPE = 1;
inline constexpr int SET_ACCESS = 2;
inline constexpr int NO_INHERITANCE = 0;
inline constexpr int SUB_CONTAINERS_AND_OBJECTS_INHERIT = 3;

// Windows error codes the access functions return.
inline constexpr quint32 ERROR_SUCCESS = 0;
inline constexpr quint32 ERROR_INVALID_FUNCTION = 1;
inline constexpr quint32 ERROR_FILE_NOT_FOUND = 2;
inline constexpr quint32 ERROR_PATH_NOT_FOUND = 3;
inline constexpr quint32 ERROR_ACCESS_DENIED = 5;
inline constexpr quint32 ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr quint32 ERROR_WRITE_PROTECT = 19;
inline constexpr quint32 ERROR_NOT_SUPPORTED = 50;
inline constexpr quint32 ERROR_INVALID_PARAMETER = 87;
inline constexpr quint32 ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr quint32 ERROR_NONE_MAPPED = 1332;
inline constexpr quint32 ERROR_INVALID_ACL = 1336;

struct AccessEntry {
    quint8 type = ACCESS_ALLOWED_ACE_TYPE;
    quint32 mask = 0;
    QString trustee; // group or user name; empty for the owner, group-owner and other entries
    int inheritance = NO_INHERITANCE; // SUB_CONTAINERS_AND_OBJECTS_INHERIT when a default entry goes with it
};

struct AclResult {
    quint32 error = ERROR_SUCCESS;
    std::vector<AccessEntry> entries;
};

// Name of the local group that stands for the built-in users group of a machine: on a machine every
// user of the PC shares, its group (the technicians, see SharedMachine.h); on any other the host group
// "users". Empty when the host has no such group.
QString usersGroupName(const Machine& machine);
// True when the file system of a host path keeps POSIX access lists.
bool supportsAccessLists(const QString& hostPath);
// The named group entries of a host path as Windows entries. A group without a name on this host is
// reported by its number.
AclResult readAccessEntries(const QString& hostPath);
// Adds or replaces the entry of a group (mode SET_ACCESS) with the mask and inheritance above. Read
// rights come from GENERIC_READ, GENERIC_ALL or FILE_READ_DATA (0x1), write rights from GENERIC_WRITE,
// GENERIC_ALL or FILE_WRITE_DATA (0x2), execute rights from GENERIC_EXECUTE, GENERIC_ALL or FILE_EXECUTE
// (0x20). On a folder, an inheritance other than 0 also sets the default entry and, as Windows passes an
// inheritable entry on to what a folder already holds, the same entries on every file and folder below
// it (symlinks are not followed); inheritance 0 removes the group's default entry. The ACL mask entry
// is recalculated. Returns a Windows error code: ERROR_NONE_MAPPED for an unknown or empty trustee,
// ERROR_NOT_SUPPORTED where the file system keeps no access lists; the first failure below the folder
// is returned after the rest has been done.
quint32 setGroupAccess(const QString& hostPath, const QString& trustee, quint32 mask, int inheritance);

// The system's text for a Windows error code (a table of the codes the suite meets); empty for an unknown
// code. Network codes 2100-2999 come from the network message table only when networkMessages is true.
// The texts carry no line break at the end.
QString systemErrorText(quint32 code, bool networkMessages);

} // namespace marvek::platform
