#pragma once

#include "Machine.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <memory>
#include <optional>

namespace marvek::platform {

// File attributes as Windows reports them; only the read-only bit exists on this host
// (the owner's write permission). Normal (0x80) is reported for a file with none set.
inline constexpr quint32 FILE_ATTRIBUTE_READONLY = 0x01u;
inline constexpr quint32 FILE_ATTRIBUTE_DIRECTORY = 0x10u;
inline constexpr quint32 FILE_ATTRIBUTE_NORMAL = 0x80u;

// Shell special folders used by the suite.
inline constexpr int CSIDL_PROGRAMS = 2;        // the user's Start menu programs folder
inline constexpr int CSIDL_COMMON_DESKTOP = 25; // the desktop of all users
// The other two a Windows PC has from its set-up (the machine's set-up makes them).
inline constexpr int CSIDL_DESKTOPDIRECTORY = 16; // the user's desktop
inline constexpr int CSIDL_COMMON_PROGRAMS = 23;  // the Start menu programs folder of all users
inline constexpr int CSIDL_APPDATA = 26;          // the user's application data (roaming)

// The entries of one folder.
struct FolderListing {
    QStringList folders; // names of the subfolders
    QStringList files;   // names of everything else
    QStringList links;   // names of the symbolic links, when they are listed apart (LinkListing::Apart)
};

// How listFolder reports a symbolic link: as what it leads to, or apart, whatever it leads to.
enum class LinkListing { Follow, Apart };

// What a file operation changes on disk.
enum class FileOperation {
    Write,  // attributes, times, a new file or folder
    Copy,   // copyFile, copyNewFile
    Rename, // rename, replaceFile
    Delete, // removeFile
};

// Decides, before each operation that changes the disk, whether it fails as a full disk or an I/O error
// would. Only tests set one (Platform::setFileFaultPolicy); without one nothing is asked.
class FileFaultPolicy {
public:
    virtual ~FileFaultPolicy() = default;
    // True when the operation on path (its first Windows path) must fail without changing anything.
    virtual bool fails(FileOperation operation, const QString& path) = 0;
};

class FolderTransfer;

// The file operations of the operating system, on Windows paths of the machine prefix.
class Files {
public:
    explicit Files(const Machine& machine);
    ~Files();
    Files(const Files&) = delete;
    Files& operator=(const Files&) = delete;

    void setFaultPolicy(std::unique_ptr<FileFaultPolicy> policy);

    const Machine& machine() const { return m_machine; }

    bool exists(const QString& path) const; // file or folder
    bool fileExists(const QString& path) const;
    bool folderExists(const QString& path) const;
    // Attributes of a file or folder; empty when it cannot be examined.
    std::optional<quint32> attributes(const QString& path) const;
    // Only the read-only bit takes effect: set = owner write permission removed.
    bool setAttributes(const QString& path, quint32 attributes) const;
    bool isReadOnly(const QString& path) const;
    bool removeFile(const QString& path) const; // fails on a read-only file, as Windows does
    // Overwrites an existing target, as CopyFile does: the copy gets the source's modified time and its
    // read-only attribute. Fails on a read-only target, on a folder, and when both name the same file.
    bool copyFile(const QString& source, const QString& target) const;
    // Creates an empty file, as CreateFile with CREATE_NEW: fails when anything has the name already (a
    // file, a folder, a symlink even to nothing).
    bool createNewFile(const QString& path) const;
    // Moves a file within its volume, as MoveFile: fails when the target exists.
    bool rename(const QString& source, const QString& target) const;
    // Moves a file over another in one step, as MoveFileEx with MOVEFILE_REPLACE_EXISTING and
    // MOVEFILE_WRITE_THROUGH: at every moment the target names either the old file or the whole new one,
    // and the new content is on the disk before the name changes. Fails on a read-only target or folder,
    // when the source is not a file, and when both name the same file.
    bool replaceFile(const QString& source, const QString& target) const;
    // True when both paths name one file or folder: the same text without regard to case (as Windows
    // compares names), the same host path, or one host file reached by two names (links).
    bool sameFile(const QString& a, const QString& b) const;
    bool createFolder(const QString& path) const;     // one level, as MkDir; false when it exists
    bool createFolderPath(const QString& path) const; // every missing level
    std::optional<qint64> size(const QString& path) const;
    // copyFile as CopyFile with bFailIfExists: fails on any existing target (a link too), left untouched.
    bool copyNewFile(const QString& source, const QString& target) const;
    // The subfolders and files of a folder ("." and ".." never count), each list in the order NTFS
    // lists a folder: by name without regard to case (UTF-16 units upper-cased one by one, then compared
    // by value), the exact spelling breaking ties. With LinkListing::Follow a symlink counts as what it
    // leads to, one that leads nowhere as a file; with LinkListing::Apart every symlink is in links only.
    // A FIFO or device is a file. The folder itself is reached through any link on its path. Empty when
    // the folder cannot be read.
    std::optional<FolderListing> listFolder(const QString& path,
                                            LinkListing links = LinkListing::Follow) const;
    // True when the entry the path names is a symbolic link itself (links before it are followed).
    bool isLink(const QString& path) const;
    // The path as the drives spell it: "." and ".." resolved, names in their stored case, no trailing
    // separator; links are not followed. Empty when the path has no place on the machine.
    QString fullPath(const QString& path) const;
    // fullPath with every link on the way resolved, as GetFinalPathNameByHandle gives it; the part that
    // does not exist is kept as written. Empty when the path, or where it leads, has no Windows name.
    QString finalPath(const QString& path) const;
    // Last-modified time in milliseconds since the epoch; empty when the file cannot be examined.
    std::optional<qint64> lastModifiedMs(const QString& path) const;
    bool setLastModifiedMs(const QString& path, qint64 ms) const;

    // Free bytes for the user on the drive of a path ("C:\" or any path on it); empty on failure.
    std::optional<quint64> freeSpace(const QString& path) const;
    // File-system name of the volume of a root such as "C:\": "NTFS" when the file system supports
    // POSIX access lists, else "FAT". Empty when the volume does not exist.
    QString volumeFileSystem(const QString& root) const;

    // CSIDL 2, 16, 23, 25 and 26 inside the prefix (created on first use); empty for any other identifier.
    QString specialFolder(int csidl) const;

private:
    friend class FolderTransfer;

    bool injectedFailure(FileOperation operation, const QString& path) const {
        return m_faults && m_faults->fails(operation, path);
    }

    const Machine& m_machine;
    std::unique_ptr<FileFaultPolicy> m_faults;
};

} // namespace marvek::platform
