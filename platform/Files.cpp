#include "platform/Files.h"

#include "platform/Acl.h"
#include "platform/HostFileCopy.h"
#include "platform/MachineInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace marvek::platform {

namespace {

std::optional<struct stat> statOf(const QString& hostPath) {
    struct stat info {};
    if (hostPath.isEmpty() || ::stat(QFile::encodeName(hostPath).constData(), &info) != 0)
        return std::nullopt;
    return info;
}

// An open file descriptor, closed with the object.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool fallsBack(int error) {
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EBADF;
}

enum class KernelCopy { Done, Failed, FallBack };

// Repeats one in-kernel copy call (which returns bytes copied, 0 at the end, -1 with errno) until the
// input is used up. FallBack when the kernel cannot copy between these descriptors.
template <typename CopyCall> KernelCopy copyInKernel(CopyCall copy) {
    while (true) {
        const ssize_t copied = copy();
        if (copied == 0)
            return KernelCopy::Done;
        if (copied < 0 && errno != EINTR)
            return fallsBack(errno) ? KernelCopy::FallBack : KernelCopy::Failed;
    }
}

// Copies the rest of in to out: in the kernel where it can (copy_file_range, then sendfile), else
// through a buffer. Both use the descriptors' file offsets, so each stage goes on where the last stopped.
bool copyContent(int in, int out) {
    constexpr size_t Chunk = size_t(1) << 30;
    KernelCopy result = copyInKernel([&] { return ::copy_file_range(in, nullptr, out, nullptr, Chunk, 0); });
    if (result == KernelCopy::FallBack)
        result = copyInKernel([&] { return ::sendfile(out, in, nullptr, Chunk); });
    if (result != KernelCopy::FallBack)
        return result == KernelCopy::Done;
    std::vector<char> buffer(size_t(1) << 20);
    while (true) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got == 0)
            return true;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out, buffer.data() + done, size_t(got - done));
            if (put < 0 && errno != EINTR)
                return false;
            done += put > 0 ? put : 0;
        }
    }
}

// Names in the order NTFS keeps a folder: upper-cased code unit by code unit, compared by value.
void sortAsNtfs(QStringList& names) {
    std::vector<std::pair<QString, QString>> keyed;
    keyed.reserve(size_t(names.size()));
    for (QString& name : names) {
        QString key = name;
        for (QChar& c : key)
            c = c.toUpper();
        keyed.emplace_back(std::move(key), std::move(name));
    }
    std::sort(keyed.begin(), keyed.end());
    names.clear();
    for (auto& [key, name] : keyed)
        names.append(std::move(name));
}

QChar driveLetterOf(const QString& windowsPath) {
    return windowsPath.size() >= 2 && windowsPath[1] == u':' ? windowsPath[0] : QChar();
}

// A logon name made safe as one folder name.
QString profileFolderName(QString logonName) {
    for (const QChar bad : QStringLiteral("\\/:*?\"<>|"))
        logonName.replace(bad, u'_');
    if (logonName.isEmpty() || logonName == u"." || logonName == u"..")
        return QStringLiteral("Default User");
    return logonName;
}

} // namespace

Files::Files(const Machine& machine) : m_machine(machine) {
}

Files::~Files() = default;

void Files::setFaultPolicy(std::unique_ptr<FileFaultPolicy> policy) {
    m_faults = std::move(policy);
}

bool Files::exists(const QString& path) const {
    return statOf(m_machine.toHost(path)).has_value();
}

bool Files::fileExists(const QString& path) const {
    const auto info = statOf(m_machine.toHost(path));
    return info && !S_ISDIR(info->st_mode);
}

bool Files::folderExists(const QString& path) const {
    const auto info = statOf(m_machine.toHost(path));
    return info && S_ISDIR(info->st_mode);
}

std::optional<quint32> Files::attributes(const QString& path) const {
    const auto info = statOf(m_machine.toHost(path));
    if (!info)
        return std::nullopt;
    quint32 result = 0;
    if (S_ISDIR(info->st_mode))
        result |= FILE_ATTRIBUTE_DIRECTORY;
    if ((info->st_mode & S_IWUSR) == 0)
        result |= FILE_ATTRIBUTE_READONLY;
    return result == 0 ? FILE_ATTRIBUTE_NORMAL : result;
}

bool Files::setAttributes(const QString& path, quint32 attributes) const {
    if (injectedFailure(FileOperation::Write, path))
        return false;
    const QString host = m_machine.toHost(path);
    const auto info = statOf(host);
    if (!info)
        return false;
    mode_t mode = info->st_mode & 07777;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        mode &= ~mode_t(S_IWUSR);
    else
        mode |= S_IWUSR;
    return mode == (info->st_mode & 07777) || ::chmod(QFile::encodeName(host).constData(), mode) == 0;
}

bool Files::isReadOnly(const QString& path) const {
    const auto result = attributes(path);
    return result && (*result & FILE_ATTRIBUTE_READONLY);
}

bool Files::removeFile(const QString& path) const {
    if (injectedFailure(FileOperation::Delete, path))
        return false;
    const QString host = m_machine.toHost(path);
    const auto info = statOf(host);
    struct stat link {};
    if (host.isEmpty() || ::lstat(QFile::encodeName(host).constData(), &link) != 0 || S_ISDIR(link.st_mode))
        return false;
    if (info && !S_ISLNK(link.st_mode) && (info->st_mode & S_IWUSR) == 0)
        return false; // read-only
    return ::unlink(QFile::encodeName(host).constData()) == 0;
}

bool Files::createNewFile(const QString& path) const {
    if (injectedFailure(FileOperation::Write, path))
        return false;
    const QString host = m_machine.toHost(path);
    if (host.isEmpty())
        return false;
    // O_EXCL fails on an existing name and never follows a symlink.
    FileDescriptor created(
        ::open(QFile::encodeName(host).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    return created.isValid() && created.close();
}

bool Files::rename(const QString& source, const QString& target) const {
    if (injectedFailure(FileOperation::Rename, source))
        return false;
    const QString sourceHost = m_machine.toHost(source);
    const QString targetHost = m_machine.toHost(target);
    if (sourceHost.isEmpty() || targetHost.isEmpty())
        return false;
    return ::renameat2(AT_FDCWD, QFile::encodeName(sourceHost).constData(), AT_FDCWD,
                       QFile::encodeName(targetHost).constData(), RENAME_NOREPLACE) == 0;
}

bool Files::replaceFile(const QString& source, const QString& target) const {
    if (injectedFailure(FileOperation::Rename, source))
        return false;
    const QString sourceHost = m_machine.toHost(source);
    const QString targetHost = m_machine.toHost(target);
    if (sourceHost.isEmpty() || targetHost.isEmpty())
        return false;
    const QByteArray sourceName = QFile::encodeName(sourceHost);
    const QByteArray targetName = QFile::encodeName(targetHost);
    FileDescriptor in(::open(sourceName.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
    struct stat sourceInfo {};
    if (!in.isValid() || ::fstat(in.get(), &sourceInfo) != 0 || !S_ISREG(sourceInfo.st_mode))
        return false;
    struct stat targetInfo {};
    if (::lstat(targetName.constData(), &targetInfo) == 0) {
        if (!S_ISREG(targetInfo.st_mode) || (targetInfo.st_mode & S_IWUSR) == 0)
            return false;
        if (targetInfo.st_dev == sourceInfo.st_dev && targetInfo.st_ino == sourceInfo.st_ino)
            return false; // rename(2) would keep both names
    }
    // The content first, then the name, then the folder entry: a power cut leaves one whole file.
    if (::fsync(in.get()) != 0 || ::rename(sourceName.constData(), targetName.constData()) != 0)
        return false;
    FileDescriptor folder(::open(QFile::encodeName(QFileInfo(targetHost).path()).constData(),
                                 O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.isValid())
        ::fsync(folder.get());
    return true;
}

bool Files::sameFile(const QString& a, const QString& b) const {
    if (a.compare(b, Qt::CaseInsensitive) == 0)
        return true;
    const QString hostA = m_machine.toHost(a);
    const QString hostB = m_machine.toHost(b);
    if (hostA.isEmpty() || hostB.isEmpty())
        return false;
    if (QDir::cleanPath(hostA) == QDir::cleanPath(hostB))
        return true;
    const auto infoA = statOf(hostA);
    const auto infoB = statOf(hostB);
    return infoA && infoB && infoA->st_dev == infoB->st_dev && infoA->st_ino == infoB->st_ino;
}

bool copyHostFile(const QByteArray& sourceName, const QByteArray& targetName, bool failIfExists) {
    if (sourceName.isEmpty() || targetName.isEmpty())
        return false;
    // Non-blocking, so that a FIFO in place of a file fails below instead of waiting for a writer.
    FileDescriptor in(::open(sourceName.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat sourceInfo {};
    if (!in.isValid() || ::fstat(in.get(), &sourceInfo) != 0 || !S_ISREG(sourceInfo.st_mode))
        return false;
    struct stat targetInfo {};
    if (!failIfExists && ::stat(targetName.constData(), &targetInfo) == 0) {
        if (!S_ISREG(targetInfo.st_mode) || (targetInfo.st_mode & S_IWUSR) == 0)
            return false;
        if (targetInfo.st_dev == sourceInfo.st_dev && targetInfo.st_ino == sourceInfo.st_ino)
            return false; // copying a file onto itself would empty it
    }

    // A new copy is made as every new file is, by the umask (the group's on a shared machine), an
    // executable one executable: Windows copies the attributes, not an access list.
    FileDescriptor out(::open(targetName.constData(),
                              O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC),
                              (sourceInfo.st_mode & 0111) != 0 ? 0777 : 0666));
    if (!out.isValid())
        return false;
    const timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
    struct stat copyInfo {};
    bool ok = copyContent(in.get(), out.get()) && ::fstat(out.get(), &copyInfo) == 0;
    if (ok && (sourceInfo.st_mode & S_IWUSR) == 0)
        ok = ::fchmod(out.get(), copyInfo.st_mode & 07777 & ~mode_t(S_IWUSR)) == 0;
    ok = ok && ::futimens(out.get(), times) == 0;
    ok = out.close() && ok;
    if (!ok)
        ::unlink(targetName.constData());
    return ok;
}

namespace {

QByteArray hostName(const QString& hostPath) {
    return hostPath.isEmpty() ? QByteArray() : QFile::encodeName(hostPath);
}

} // namespace

bool Files::copyFile(const QString& source, const QString& target) const {
    if (injectedFailure(FileOperation::Copy, target))
        return false;
    return copyHostFile(hostName(m_machine.toHost(source)), hostName(m_machine.toHost(target)), false);
}

bool Files::copyNewFile(const QString& source, const QString& target) const {
    if (injectedFailure(FileOperation::Copy, target))
        return false;
    return copyHostFile(hostName(m_machine.toHost(source)), hostName(m_machine.toHost(target)), true);
}

bool Files::createFolder(const QString& path) const {
    if (injectedFailure(FileOperation::Write, path))
        return false;
    const QString host = m_machine.toHost(path);
    return !host.isEmpty() && ::mkdir(QFile::encodeName(host).constData(), 0777) == 0;
}

bool Files::createFolderPath(const QString& path) const {
    if (injectedFailure(FileOperation::Write, path))
        return false;
    const QString host = m_machine.toHost(path);
    return !host.isEmpty() && QDir().mkpath(host) && QFileInfo(host).isDir();
}

std::optional<qint64> Files::size(const QString& path) const {
    const auto info = statOf(m_machine.toHost(path));
    if (!info || S_ISDIR(info->st_mode))
        return std::nullopt;
    return qint64(info->st_size);
}

std::optional<FolderListing> Files::listFolder(const QString& path, LinkListing links) const {
    const QString host = m_machine.toHost(path);
    DIR* dir = host.isEmpty() ? nullptr : ::opendir(QFile::encodeName(host).constData());
    if (!dir)
        return std::nullopt;
    FolderListing listing;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (qstrcmp(name, ".") == 0 || qstrcmp(name, "..") == 0)
            continue;
        bool link = entry->d_type == DT_LNK;
        if (entry->d_type == DT_UNKNOWN && links == LinkListing::Apart) {
            struct stat info {};
            link = ::fstatat(::dirfd(dir), name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode);
        }
        bool folder = entry->d_type == DT_DIR;
        if (link && links == LinkListing::Apart) {
            listing.links.append(QFile::decodeName(name));
            errno = 0;
            continue;
        }
        if (link || entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            folder = ::fstatat(::dirfd(dir), name, &info, 0) == 0 && S_ISDIR(info.st_mode);
        }
        (folder ? listing.folders : listing.files).append(QFile::decodeName(name));
        errno = 0;
    }
    const bool complete = errno == 0;
    ::closedir(dir);
    if (!complete)
        return std::nullopt;
    sortAsNtfs(listing.folders);
    sortAsNtfs(listing.files);
    sortAsNtfs(listing.links);
    return listing;
}

bool Files::isLink(const QString& path) const {
    const QString host = m_machine.toHost(path);
    // A drive's own entry may be a symlink to its medium: that is the drive, not a link on it.
    if (host.isEmpty() || host == m_machine.driveFolder(driveLetterOf(path)))
        return false;
    struct stat info {};
    return ::lstat(QFile::encodeName(host).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

QString Files::fullPath(const QString& path) const {
    return m_machine.toWindows(m_machine.toHost(path));
}

QString Files::finalPath(const QString& path) const {
    QString existing = m_machine.toHost(path);
    if (existing.isEmpty())
        return {};
    // The deepest part that exists is resolved; the names below it cannot be links.
    QStringList missing;
    QString resolved = QFileInfo(existing).canonicalFilePath();
    while (resolved.isEmpty()) {
        const qsizetype slash = existing.lastIndexOf(u'/');
        if (slash <= 0)
            return {};
        missing.prepend(existing.mid(slash + 1));
        existing.truncate(slash);
        resolved = QFileInfo(existing).canonicalFilePath();
    }
    for (const QString& name : std::as_const(missing))
        resolved += (resolved.endsWith(u'/') ? QString() : QStringLiteral("/")) + name;
    return m_machine.toWindows(resolved);
}

std::optional<qint64> Files::lastModifiedMs(const QString& path) const {
    const auto info = statOf(m_machine.toHost(path));
    if (!info)
        return std::nullopt;
    return qint64(info->st_mtim.tv_sec) * 1000 + info->st_mtim.tv_nsec / 1000000;
}

bool Files::setLastModifiedMs(const QString& path, qint64 ms) const {
    if (injectedFailure(FileOperation::Write, path))
        return false;
    const QString host = m_machine.toHost(path);
    if (host.isEmpty())
        return false;
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = time_t(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
    times[1].tv_nsec = long((ms - qint64(times[1].tv_sec) * 1000) * 1000000);
    return ::utimensat(AT_FDCWD, QFile::encodeName(host).constData(), times, 0) == 0;
}

std::optional<quint64> Files::freeSpace(const QString& path) const {
    const QString folder = m_machine.driveFolder(driveLetterOf(path));
    struct statvfs info {};
    if (folder.isEmpty() || ::statvfs(QFile::encodeName(folder).constData(), &info) != 0)
        return std::nullopt;
    return quint64(info.f_bavail) * quint64(info.f_frsize);
}

QString Files::volumeFileSystem(const QString& root) const {
    const QString folder = m_machine.driveFolder(driveLetterOf(root));
    if (folder.isEmpty())
        return {};
    return supportsAccessLists(folder) ? QStringLiteral("NTFS") : QStringLiteral("FAT");
}

QString Files::specialFolder(int csidl) const {
    const MachineInfo info = MachineInfo::readOnce(m_machine);
    const auto version = info.osVersion();
    const bool usersFolders = version && version->major >= 6; // Vista and later
    const QString user = profileFolderName(info.logonName());
    QString path;
    if (csidl == CSIDL_PROGRAMS) {
        path =
            usersFolders
                ? QStringLiteral("C:\\Users\\%1\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs")
                      .arg(user)
                : QStringLiteral("C:\\Documents and Settings\\%1\\Start Menu\\Programs").arg(user);
    } else if (csidl == CSIDL_APPDATA) {
        path = usersFolders ? QStringLiteral("C:\\Users\\%1\\AppData\\Roaming").arg(user)
                            : QStringLiteral("C:\\Documents and Settings\\%1\\Application Data").arg(user);
    } else if (csidl == CSIDL_DESKTOPDIRECTORY) {
        path = usersFolders ? QStringLiteral("C:\\Users\\%1\\Desktop").arg(user)
                            : QStringLiteral("C:\\Documents and Settings\\%1\\Desktop").arg(user);
    } else if (csidl == CSIDL_COMMON_PROGRAMS) {
        path = usersFolders ? QStringLiteral("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs")
                            : QStringLiteral("C:\\Documents and Settings\\All Users\\Start Menu\\Programs");
    } else if (csidl == CSIDL_COMMON_DESKTOP) {
        path = usersFolders ? QStringLiteral("C:\\Users\\Public\\Desktop")
                            : QStringLiteral("C:\\Documents and Settings\\All Users\\Desktop");
    } else {
        return {};
    }
    return createFolderPath(path) ? path : QString();
}

} // namespace marvek::platform
