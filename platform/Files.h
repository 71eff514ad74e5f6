#pragma once

#include "Machine.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
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

// The entries of one folder.
struct FolderListing {
    QStringList folders; // names of the subfolders
    QStringList files;   // names of everything else
};

// The file operations of the operating system, on Windows paths of the machine prefix.
class Files {
public:
    explicit Files(const Machine& machine);

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
    bool createFolder(const QString& path) const;     // one level, as MkDir; false when it exists
    bool createFolderPath(const QString& path) const; // every missing level
    std::optional<qint64> size(const QString& path) const;
    // copyFile as CopyFile with bFailIfExists: fails on any existing target (a link too), left untouched.
    bool copyNewFile(const QString& source, const QString& target) const;
    // The subfolders and files of a folder ("." and ".." never count), each list in the order NTFS
    // lists a folder: by name without regard to case (UTF-16 units upper-cased one by one, then compared
    // by value), the exact spelling breaking ties. A symlink counts as what it leads to, one that leads
    // nowhere as a file; a FIFO or device is a file too. Empty when the folder cannot be read.
    std::optional<FolderListing> listFolder(const QString& path) const;
    // Last-modified time in milliseconds since the epoch; empty when the file cannot be examined.
    std::optional<qint64> lastModifiedMs(const QString& path) const;
    bool setLastModifiedMs(const QString& path, qint64 ms) const;

    // Free bytes for the user on the drive of a path ("C:\" or any path on it); empty on failure.
    std::optional<quint64> freeSpace(const QString& path) const;
    // File-system name of the volume of a root such as "C:\": "NTFS" when the file system supports
    // POSIX access lists, else "FAT". Empty when the volume does not exist.
    QString volumeFileSystem(const QString& root) const;

    // CSIDL 2, 16, 23 and 25 inside the prefix (created on first use); empty for any other identifier.
    QString specialFolder(int csidl) const;

private:
    const Machine& m_machine;
};

} // namespace marvek::platform
