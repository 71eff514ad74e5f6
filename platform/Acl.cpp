#include "platform/Acl.h"

#include "platform/SharedMachine.h"

#include <QFile>
#include <acl/libacl.h>
#include <cerrno>
#include <filesystem>
#include <grp.h>
#include <memory>
#include <sys/acl.h>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>

namespace marvek::platform {

namespace {

struct AclFree {
    void operator()(void* object) const { acl_free(object); }
};
using AclHandle = std::unique_ptr<std::remove_pointer_t<acl_t>, AclFree>;

constexpr int PermRead = ACL_READ;
constexpr int PermWrite = ACL_WRITE;
constexpr int PermExecute = ACL_EXECUTE;
constexpr int PermAll = PermRead | PermWrite | PermExecute;

quint32 windowsError(int error) {
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ENAMETOOLONG:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case ENOTSUP:
        return ERROR_NOT_SUPPORTED;
    case EINVAL:
        return ERROR_INVALID_ACL;
    default:
        return ERROR_INVALID_FUNCTION;
    }
}

template <typename Lookup> group* lookUpGroup(Lookup lookup, group& entry, std::vector<char>& storage) {
    storage.resize(4096);
    while (true) {
        group* found = nullptr;
        const int result = lookup(&entry, storage.data(), storage.size(), &found);
        if (result == ERANGE && storage.size() < (size_t(1) << 24)) {
            storage.resize(storage.size() * 2);
            continue;
        }
        return result == 0 ? found : nullptr;
    }
}

std::optional<gid_t> groupId(const QString& name) {
    if (name.isEmpty())
        return std::nullopt;
    const QByteArray encoded = name.toLocal8Bit();
    group entry{};
    std::vector<char> storage;
    const group* found = lookUpGroup(
        [&encoded](group* g, char* buffer, size_t size, group** result) {
            return ::getgrnam_r(encoded.constData(), g, buffer, size, result);
        },
        entry, storage);
    return found ? std::optional<gid_t>(found->gr_gid) : std::nullopt;
}

QString groupName(gid_t gid) {
    group entry{};
    std::vector<char> storage;
    const group* found =
        lookUpGroup([gid](group* g, char* buffer, size_t size,
                          group** result) { return ::getgrgid_r(gid, g, buffer, size, result); },
                    entry, storage);
    return found && found->gr_name ? QString::fromLocal8Bit(found->gr_name) : QString::number(gid);
}

int entryPerms(acl_entry_t entry) {
    acl_permset_t permset = nullptr;
    if (acl_get_permset(entry, &permset) != 0)
        return 0;
    int perms = 0;
    for (const int perm : {PermRead, PermWrite, PermExecute}) {
        if (acl_get_perm(permset, acl_perm_t(perm)) == 1)
            perms |= perm;
    }
    return perms;
}

std::optional<gid_t> entryGroup(acl_entry_t entry) {
    acl_tag_t tag = ACL_UNDEFINED_TAG;
    if (acl_get_tag_type(entry, &tag) != 0 || tag != ACL_GROUP)
        return std::nullopt;
    void* qualifier = acl_get_qualifier(entry);
    if (!qualifier)
        return std::nullopt;
    const gid_t gid = *static_cast<gid_t*>(qualifier);
    acl_free(qualifier);
    return gid;
}

// Calls visit(entry) for every entry of the list; stops early when visit returns false.
template <typename Visit> void forEachEntry(acl_t acl, Visit visit) {
    acl_entry_t entry = nullptr;
    for (int which = ACL_FIRST_ENTRY; acl_get_entry(acl, which, &entry) == 1; which = ACL_NEXT_ENTRY) {
        if (!visit(entry))
            return;
    }
}

int maskPerms(acl_t acl) {
    int perms = PermAll;
    forEachEntry(acl, [&perms](acl_entry_t entry) {
        acl_tag_t tag = ACL_UNDEFINED_TAG;
        if (acl_get_tag_type(entry, &tag) == 0 && tag == ACL_MASK) {
            perms = entryPerms(entry);
            return false;
        }
        return true;
    });
    return perms;
}

std::optional<int> groupPerms(acl_t acl, gid_t gid) {
    std::optional<int> perms;
    forEachEntry(acl, [&](acl_entry_t entry) {
        if (entryGroup(entry) == gid)
            perms = entryPerms(entry);
        return !perms;
    });
    return perms;
}

// own: the entry's permissions; perms: what of them the mask entry lets take effect. Only an entry that
// itself grants nothing is a denial: one the mask empties (after chmod go-rwx) grants nothing but denies
// nothing either.
AccessEntry toWindowsEntry(int own, int perms, bool inherited) {
    AccessEntry result;
    result.inheritance = inherited ? SUB_CONTAINERS_AND_OBJECTS_INHERIT : NO_INHERITANCE;
    if (own == 0) {
        result.type = ACCESS_DENIED_ACE_TYPE;
        result.mask = FILE_ALL_ACCESS;
    } else if (perms == PermAll && !inherited) {
        result.mask = FILE_ALL_ACCESS;
    } else {
        if (perms & PermRead)
            result.mask |= FILE_GENERIC_READ;
        if (perms & PermWrite)
            result.mask |= FILE_GENERIC_WRITE;
        if (perms & PermExecute)
            result.mask |= FILE_GENERIC_EXECUTE;
        if (perms == PermAll)
            result.mask |= DELETE_ACCESS;
    }
    return result;
}

int permsFromMask(quint32 mask) {
    int perms = 0;
    if (mask & (GENERIC_READ | GENERIC_ALL | 0x1u))
        perms |= PermRead;
    if (mask & (GENERIC_WRITE | GENERIC_ALL | 0x2u))
        perms |= PermWrite;
    if (mask & (GENERIC_EXECUTE | GENERIC_ALL | 0x20u))
        perms |= PermExecute;
    return perms;
}

// Sets (perms given) or removes the group's entry in the access or default list of a path.
quint32 updateEntry(const QByteArray& path, acl_type_t type, gid_t gid, std::optional<int> perms,
                    mode_t mode) {
    AclHandle acl(acl_get_file(path.constData(), type));
    if (!acl)
        return windowsError(errno);
    if (type == ACL_TYPE_DEFAULT && acl_entries(acl.get()) == 0) {
        if (!perms)
            return ERROR_SUCCESS;
        acl.reset(acl_from_mode(mode)); // a new default list starts from the folder's own permissions
        if (!acl)
            return windowsError(errno);
    }

    bool removed = true;
    while (removed) {
        removed = false;
        forEachEntry(acl.get(), [&](acl_entry_t entry) {
            if (entryGroup(entry) == gid) {
                removed = acl_delete_entry(acl.get(), entry) == 0;
                return false;
            }
            return true;
        });
    }
    if (perms) {
        acl_t raw = acl.release();
        acl_entry_t entry = nullptr;
        acl_permset_t permset = nullptr;
        const bool created = acl_create_entry(&raw, &entry) == 0;
        acl.reset(raw);
        if (!created || acl_set_tag_type(entry, ACL_GROUP) != 0 || acl_set_qualifier(entry, &gid) != 0 ||
            acl_get_permset(entry, &permset) != 0 || acl_clear_perms(permset) != 0)
            return windowsError(errno);
        for (const int perm : {PermRead, PermWrite, PermExecute}) {
            if ((*perms & perm) && acl_add_perm(permset, acl_perm_t(perm)) != 0)
                return windowsError(errno);
        }
    }
    acl_t raw = acl.release();
    const int calculated = acl_calc_mask(&raw);
    acl.reset(raw);
    if (calculated != 0 || acl_valid(acl.get()) != 0)
        return ERROR_INVALID_ACL;
    if (acl_set_file(path.constData(), type, acl.get()) != 0)
        return windowsError(errno);
    return ERROR_SUCCESS;
}

// The access entry and, for a folder, the default entry of one path.
quint32 applyToPath(const QByteArray& path, gid_t gid, int perms, bool inheritable) {
    struct stat info {};
    if (::stat(path.constData(), &info) != 0)
        return windowsError(errno);
    quint32 error = updateEntry(path, ACL_TYPE_ACCESS, gid, perms, info.st_mode);
    if (error == ERROR_SUCCESS && S_ISDIR(info.st_mode))
        error = updateEntry(path, ACL_TYPE_DEFAULT, gid,
                            inheritable ? std::optional<int>(perms) : std::nullopt, info.st_mode);
    return error;
}

} // namespace

QString usersGroupName(const Machine& machine) {
    if (const std::optional<MachineGroup> group = sharedMachineGroup(machine))
        return group->name;
    const QString name = QStringLiteral("users");
    return groupId(name) ? name : QString();
}

bool supportsAccessLists(const QString& hostPath) {
    if (hostPath.isEmpty())
        return false;
    const AclHandle acl(acl_get_file(QFile::encodeName(hostPath).constData(), ACL_TYPE_ACCESS));
    return acl != nullptr;
}

AclResult readAccessEntries(const QString& hostPath) {
    AclResult result;
    const QByteArray path = QFile::encodeName(hostPath);
    const AclHandle access(hostPath.isEmpty() ? nullptr : acl_get_file(path.constData(), ACL_TYPE_ACCESS));
    if (!access) {
        result.error = hostPath.isEmpty() ? ERROR_FILE_NOT_FOUND : windowsError(errno);
        return result;
    }
    struct stat info {};
    AclHandle defaults;
    if (::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode))
        defaults.reset(acl_get_file(path.constData(), ACL_TYPE_DEFAULT));

    const int mask = maskPerms(access.get());
    forEachEntry(access.get(), [&](acl_entry_t entry) {
        if (const auto gid = entryGroup(entry)) {
            const bool inherited = defaults && groupPerms(defaults.get(), *gid).has_value();
            const int own = entryPerms(entry);
            AccessEntry windowsEntry = toWindowsEntry(own, own & mask, inherited);
            windowsEntry.trustee = groupName(*gid);
            result.entries.push_back(windowsEntry);
        }
        return true;
    });
    return result;
}

quint32 setGroupAccess(const QString& hostPath, const QString& trustee, quint32 mask, int inheritance) {
    const auto gid = groupId(trustee);
    if (!gid)
        return ERROR_NONE_MAPPED;
    if (hostPath.isEmpty())
        return ERROR_FILE_NOT_FOUND;
    const QByteArray path = QFile::encodeName(hostPath);
    const int perms = permsFromMask(mask);
    const bool inheritable = inheritance != NO_INHERITANCE;
    const quint32 error = applyToPath(path, *gid, perms, inheritable);
    if (error != ERROR_SUCCESS || !inheritable)
        return error;

    struct stat info {};
    if (::stat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return ERROR_SUCCESS;
    // Pass the inheritable entry on to everything the folder already holds.
    namespace fs = std::filesystem;
    quint32 firstError = ERROR_SUCCESS;
    std::error_code walkError;
    fs::recursive_directory_iterator it(fs::path(path.constData()), fs::directory_options::none, walkError);
    for (; !walkError && it != fs::recursive_directory_iterator(); it.increment(walkError)) {
        std::error_code statusError;
        if (it->is_symlink(statusError))
            continue;
        const quint32 childError = applyToPath(QByteArray(it->path().c_str()), *gid, perms, true);
        if (firstError == ERROR_SUCCESS)
            firstError = childError;
    }
    if (walkError && firstError == ERROR_SUCCESS)
        firstError = windowsError(walkError.value());
    return firstError;
}

QString systemErrorText(quint32 code, bool networkMessages) {
    struct Message {
        quint32 code;
        const char* text;
    };
    static constexpr Message SystemMessages[] = {
        {0, "The operation completed successfully."},
        {1, "Incorrect function."},
        {2, "The system cannot find the file specified."},
        {3, "The system cannot find the path specified."},
        {5, "Access is denied."},
        {8, "Not enough storage is available to process this command."},
        {19, "The media is write protected."},
        {21, "The device is not ready."},
        {32, "The process cannot access the file because it is being used by another process."},
        {50, "The request is not supported."},
        {87, "The parameter is incorrect."},
        {112, "There is not enough space on the disk."},
        {122, "The data area passed to a system call is too small."},
        {1332, "No mapping between account names and security IDs was done."},
        {1336, "The access control list (ACL) structure is invalid."},
        {1337, "The security ID structure is invalid."},
    };
    static constexpr Message NetworkMessages[] = {
        {2102, "The workstation driver is not installed."},
        {2114, "The Server service is not started."},
        {2138, "The Workstation service has not been started."},
        {2220, "The group name could not be found."},
        {2221, "The user name could not be found."},
        {2250, "The network connection could not be found."},
        {2310, "This shared resource does not exist."},
    };
    const bool network = code >= 2100 && code <= 2999;
    if (network && !networkMessages)
        return {};
    const Message* begin = network ? std::begin(NetworkMessages) : std::begin(SystemMessages);
    const Message* end = network ? std::end(NetworkMessages) : std::end(SystemMessages);
    for (const Message* message = begin; message != end; ++message) {
        if (message->code == code)
            return QString::fromLatin1(message->text);
    }
    return {};
}

} // namespace marvek::platform
