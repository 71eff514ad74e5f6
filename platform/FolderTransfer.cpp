#include "platform/FolderTransfer.h"

#include "platform/HostFileCopy.h"

#include <QFile>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marvek::platform {

namespace {

bool isAsciiName(const char* name) {
    for (; *name; ++name)
        if (static_cast<unsigned char>(*name) >= 0x80)
            return false;
    return true;
}

// The key two names share when Windows takes them for one: ASCII letters in lower case, any other name
// case-folded.
QString nameKey(const QString& name, bool ascii) {
    return ascii ? name.toLower() : name.toCaseFolded();
}

QString joinWindows(const QString& folder, const QString& name) {
    return folder.endsWith(u'\\') ? folder + name : folder + u'\\' + name;
}

QByteArray hostName(const QString& hostPath) {
    return hostPath.isEmpty() ? QByteArray() : QFile::encodeName(hostPath);
}

} // namespace

FolderTransfer::FolderTransfer(const Files& files, const QString& sourceFolder, const QString& targetFolder)
    : m_files(files), m_sourceFolder(sourceFolder), m_targetFolder(targetFolder),
      m_sourceHost(hostName(files.machine().toHost(sourceFolder))),
      m_targetHost(hostName(files.machine().toHost(targetFolder))) {
    if (m_sourceHost.isEmpty() || m_targetHost.isEmpty())
        return;
    m_sourceDir.reset(::open(m_sourceHost.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    m_targetDir.reset(::open(m_targetHost.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_sourceDir.isValid() || !m_targetDir.isValid())
        return;
    // The listing reads a descriptor of its own (it takes and closes it); the open target stays.
    DIR* dir = ::fdopendir(::fcntl(m_targetDir.get(), F_DUPFD_CLOEXEC, 0));
    if (!dir)
        return;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0)
            m_taken.insert(nameKey(QFile::decodeName(entry->d_name), isAsciiName(entry->d_name)));
        errno = 0;
    }
    m_valid = errno == 0;
    ::closedir(dir);
    m_sourceHost += '/';
    m_targetHost += '/';
}

bool FolderTransfer::isFree(const QString& name) const {
    if (!m_valid || name.isEmpty() || name == u"." || name == u"..")
        return false;
    // Windows drops a name's trailing blanks and dots and reads "\" as a separator: such a name is not
    // the host name, so it takes the way through full paths.
    if (name.endsWith(u' ') || name.endsWith(u'.'))
        return false;
    for (const QChar c : name)
        if (c.unicode() >= 0x80 || c == u'\\' || c == u'/')
            return false;
    return !m_taken.contains(nameKey(name, true));
}

bool FolderTransfer::placeNewWritable(const QString& name, Placement how) {
    if (!isFree(name))
        return false;
    const QByteArray encoded = name.toLatin1();
    const QByteArray source = m_sourceHost + encoded;
    const QByteArray target = m_targetHost + encoded;
    const QString windowsSource = joinWindows(m_sourceFolder, name);
    const QString windowsTarget = joinWindows(m_targetFolder, name);

    bool placed = false;
    struct stat info {}; // after a rename, the placed file's
    if (how == Placement::Move && !m_files.injectedFailure(FileOperation::Rename, windowsSource)) {
        // A regular file only, as a copy would take: renaming a FIFO or a folder is no file's move.
        // By name between the folders held open: no walk down either path for each file.
        const char* const leaf = encoded.constData();
        if (::fstatat(m_sourceDir.get(), leaf, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode)) {
            placed = ::renameat2(m_sourceDir.get(), leaf, m_targetDir.get(), leaf, RENAME_NOREPLACE) == 0;
            if (!placed && errno == EEXIST)
                return false; // the name was taken meanwhile
        }
    }
    if (!placed) {
        if (m_files.injectedFailure(FileOperation::Copy, windowsTarget) ||
            !copyHostFile(source, target, true))
            return false;
        if (how == Placement::Move && !m_files.injectedFailure(FileOperation::Delete, windowsSource))
            ::unlink(source.constData());
    }
    m_taken.insert(nameKey(name, true));

    if (m_files.injectedFailure(FileOperation::Write, windowsTarget))
        return false;
    // A renamed file keeps its mode; a copy is looked at.
    if (!placed && ::lstat(target.constData(), &info) != 0)
        return false;
    return (info.st_mode & S_IWUSR) != 0 ||
           ::chmod(target.constData(), (info.st_mode & 07777) | S_IWUSR) == 0;
}

} // namespace marvek::platform
