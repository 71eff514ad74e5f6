#include "platform/SevenZip.h"

#include "platform/ArchiveHandles.h"
#include "platform/MachineInfo.h"
#include "platform/TextCodec.h"
#include "platform/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>

namespace marvek::platform {

namespace {

// ---------------------------------------------------------------------------------------------------
// The command line

struct Command {
    QString archive;
    QString destination;
    bool overwrite = false;
};

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

QStringView trimmedBlanks(QStringView text) {
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.mid(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

// The next blank-separated token of text, which loses it and the blanks after it.
QStringView takeToken(QStringView& text) {
    qsizetype end = 0;
    while (end < text.size() && !isBlank(text[end]))
        ++end;
    const QStringView token = text.left(end);
    text = trimmedBlanks(text.mid(end));
    return token;
}

std::optional<Command> parseCommandLine(const QString& commandLine) {
    QStringView rest = trimmedBlanks(commandLine);
    if (takeToken(rest).compare(u"x", Qt::CaseInsensitive) != 0)
        return std::nullopt;
    Command command;
    while (rest.startsWith(u'-')) {
        const QStringView option = takeToken(rest);
        if (option.compare(u"-aoa", Qt::CaseInsensitive) == 0)
            command.overwrite = true;
        else if (option.compare(u"-hide", Qt::CaseInsensitive) != 0)
            return std::nullopt;
    }

    // The destination is the last argument: quoted (a backslash before the closing quote is literal),
    // or the last blank-separated token.
    qsizetype start = -1;
    QStringView destination;
    if (rest.endsWith(u'"')) {
        start = rest.size() >= 2 ? rest.lastIndexOf(u'"', rest.size() - 2) : -1;
        if (start < 0)
            return std::nullopt;
        destination = rest.mid(start + 1, rest.size() - start - 2);
    } else {
        start = rest.size();
        while (start > 0 && !isBlank(rest[start - 1]))
            --start;
        destination = rest.mid(start);
    }
    if (start == 0 || !isBlank(rest[start - 1]))
        return std::nullopt; // no archive before it
    QStringView archive = trimmedBlanks(rest.left(start));
    if (archive.size() >= 2 && archive.startsWith(u'"') && archive.endsWith(u'"'))
        archive = archive.mid(1, archive.size() - 2);
    if (archive.isEmpty() || archive.contains(u'"') || destination.contains(u'"') ||
        !destination.endsWith(u'\\'))
        return std::nullopt;
    command.archive = archive.toString();
    command.destination = destination.toString();
    return command;
}

// ---------------------------------------------------------------------------------------------------
// Entry names

// The folder and file names an entry name lands on below the destination; empty when the name would
// leave it. "\" and "/" separate, empty and "." names vanish, trailing blanks and dots are dropped.
std::optional<QStringList> entryComponents(QString name) {
    name.replace(u'\\', u'/');
    if (name.isEmpty() || name.startsWith(u'/'))
        return std::nullopt; // absolute (also "\\server\share")
    if (name.size() >= 2 && name[1] == u':' && name[0].unicode() < 0x80 && name[0].isLetter())
        return std::nullopt; // "C:x" and "C:\x"
    QStringList components;
    for (QString component : name.split(u'/', Qt::SkipEmptyParts)) {
        if (component == u".")
            continue;
        while (!component.isEmpty() && (component.back() == u' ' || component.back() == u'.'))
            component.chop(1);
        if (component.isEmpty())
            return std::nullopt; // "..", "...", ". ": a way up on some systems, no name on Windows
        components.append(component);
    }
    return components;
}

// ---------------------------------------------------------------------------------------------------
// Resources

using ArchivePtr = archive_handles::ReaderPtr;
using archive_handles::Utf8ThreadLocale;

struct Failure {
    qint32 code;
    QString reason;
};

// ---------------------------------------------------------------------------------------------------
// Folders below the destination

// The names in one folder, looked up as Windows does: the exact spelling first, then the first name in
// name order that equals it without regard to case.
class FolderNames {
public:
    bool isLoaded() const { return m_loaded; }
    void markLoaded() { m_loaded = true; }

    std::optional<QString> find(const QString& name) const {
        if (m_exact.contains(name))
            return name;
        const auto other = m_folded.constFind(name.toCaseFolded());
        if (other == m_folded.cend())
            return std::nullopt;
        return *other;
    }
    void add(const QString& name) {
        m_exact.insert(name);
        const QString folded = name.toCaseFolded();
        if (!m_folded.contains(folded))
            m_folded.insert(folded, name);
    }

    // Reads the folder's entries (the descriptor stays open).
    bool load(int folderFd) {
        const int copy = ::dup(folderFd);
        DIR* dir = copy >= 0 ? ::fdopendir(copy) : nullptr;
        if (!dir) {
            if (copy >= 0)
                ::close(copy);
            return false;
        }
        ::rewinddir(dir);
        QStringList names;
        while (const dirent* entry = ::readdir(dir)) {
            const char* name = entry->d_name;
            if (qstrcmp(name, ".") != 0 && qstrcmp(name, "..") != 0)
                names.append(QFile::decodeName(name));
        }
        ::closedir(dir);
        std::sort(names.begin(), names.end());
        for (const QString& name : std::as_const(names))
            add(name);
        m_loaded = true;
        return true;
    }

private:
    bool m_loaded = false;
    QSet<QString> m_exact;
    QHash<QString, QString> m_folded;
};

// Entry names as Unicode. libarchive gives a zip name without the UTF-8 flag as its raw bytes (no
// hdrcharset, and on this host no default conversion) and a flagged one as UTF-8, and does not tell which
// it was. A second reader of the same zip, told that unflagged names are Latin-1, gives the same bytes for
// a flagged or ASCII name and different ones for any other unflagged name, whose raw bytes are then
// decoded in the ANSI code page as Windows would (TextCodec). The second reader only reads headers.
class NameDecoder {
public:
    NameDecoder(QByteArray archivePath, int codePage)
        : m_path(std::move(archivePath)), m_codePage(codePage) {}

    // Empty when the entry has no name that converts.
    std::optional<QString> nameOf(archive* reader, archive_entry* entry) {
        const char* raw = archive_entry_pathname(entry);
        if (!raw)
            return std::nullopt;
        if ((archive_format(reader) & ARCHIVE_FORMAT_BASE_MASK) != ARCHIVE_FORMAT_ZIP)
            return QString::fromUtf8(raw);
        const char* latin1 = nextLatin1Name();
        if (!latin1)
            return std::nullopt;
        if (qstrcmp(raw, latin1) == 0)
            return QString::fromUtf8(raw);
        return decodeCodePage(QByteArray(raw), m_codePage);
    }

private:
    const char* nextLatin1Name() {
        if (!m_latin1) {
            m_latin1.reset(archive_read_new());
            if (!m_latin1 || archive_read_support_format_zip(m_latin1.get()) != ARCHIVE_OK ||
                archive_read_set_format_option(m_latin1.get(), "zip", "hdrcharset", "ISO-8859-1") !=
                    ARCHIVE_OK ||
                archive_read_open_filename(m_latin1.get(), m_path.constData(), 1 << 16) != ARCHIVE_OK)
                return nullptr;
        }
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(m_latin1.get(), &entry);
        return status == ARCHIVE_OK || status == ARCHIVE_WARN ? archive_entry_pathname(entry) : nullptr;
    }

    QByteArray m_path;
    int m_codePage;
    ArchivePtr m_latin1;
};

// Writes the entries of one archive below one destination folder, never through a link: every folder is
// opened relative to its parent with O_NOFOLLOW, every file created with O_EXCL | O_NOFOLLOW.
class Extraction {
public:
    Extraction(UniqueFd destination, bool overwrite, NameDecoder names)
        : m_root(std::move(destination)), m_overwrite(overwrite), m_names(std::move(names)) {}

    std::optional<Failure> run(archive* reader) {
        archive_entry* entry = nullptr;
        while (true) {
            const int status = archive_read_next_header(reader, &entry);
            if (status == ARCHIVE_EOF)
                return std::nullopt;
            // A warning is a name that did not convert: the entry fails below for want of one.
            if (status != ARCHIVE_OK && status != ARCHIVE_WARN)
                return damaged(reader);
            if (auto failure = extract(reader, entry))
                return failure;
        }
    }

private:
    static Failure damaged(archive* reader) {
        const char* detail = archive_error_string(reader);
        return {sevenzip::DamagedArchive, QString::fromUtf8(detail ? detail : "read error")};
    }
    static Failure writeFailed(const QString& name) {
        return {sevenzip::WriteFailed, QStringLiteral("cannot write ") + name + QStringLiteral(": ") +
                                           QString::fromLocal8Bit(::strerror(errno))};
    }

    std::optional<Failure> extract(archive* reader, archive_entry* entry) {
        const std::optional<QString> decoded = m_names.nameOf(reader, entry);
        const QString name = decoded.value_or(QString());
        const std::optional<QStringList> components = decoded ? entryComponents(name) : std::nullopt;
        if (!components)
            return Failure{sevenzip::UnsafeEntry, QStringLiteral("unsafe entry name: ") + name};
        const mode_t type = archive_entry_filetype(entry);
        if (archive_entry_hardlink(entry) || archive_entry_symlink(entry) ||
            (type != AE_IFREG && type != AE_IFDIR))
            return Failure{sevenzip::UnsafeEntry, QStringLiteral("link or special file: ") + name};

        if (type == AE_IFDIR)
            return enterFolder(*components, components->size(), name);
        if (components->isEmpty())
            return Failure{sevenzip::UnsafeEntry, QStringLiteral("file without a name: ") + name};
        if (auto failure = enterFolder(*components, components->size() - 1, name))
            return failure;
        return writeFile(reader, entry, components->last(), name);
    }

    FolderNames& namesOf(const QString& key) { return m_folders[key]; }

    // Makes the folder of the first count components current, creating what is missing.
    std::optional<Failure> enterFolder(const QStringList& components, qsizetype count, const QString& name) {
        const QStringList wanted = components.mid(0, count);
        const QString requested = wanted.join(u'/'); // a component holds no separator
        if (const auto open = m_openFolders.find(requested); open != m_openFolders.end()) {
            m_current = &open->second;
            return std::nullopt;
        }
        m_current = nullptr;
        UniqueFd folder(::dup(m_root.get()));
        QString key;
        for (const QString& component : wanted) {
            if (!folder.isValid())
                return writeFailed(name);
            FolderNames& names = namesOf(key);
            if (!names.isLoaded() && !names.load(folder.get()))
                return writeFailed(name);
            std::optional<QString> actual = names.find(component);
            if (!actual) {
                if (::mkdirat(folder.get(), QFile::encodeName(component).constData(), 0777) != 0)
                    return writeFailed(name);
                names.add(component);
                actual = component;
                namesOf(key.isEmpty() ? component : key + u'/' + component).markLoaded(); // new and empty
            }
            key = key.isEmpty() ? *actual : key + u'/' + *actual;
            folder.reset(::openat(folder.get(), QFile::encodeName(*actual).constData(),
                                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        }
        if (!folder.isValid())
            return writeFailed(name);
        if (m_openFolders.size() >= MaxOpenFolders)
            m_openFolders.clear();
        m_current = &m_openFolders.emplace(requested, OpenFolder{std::move(folder), key}).first->second;
        return std::nullopt;
    }

    std::optional<Failure> writeFile(archive* reader, archive_entry* entry, const QString& leaf,
                                     const QString& name) {
        const int folder = m_current->fd.get();
        FolderNames& names = namesOf(m_current->key);
        if (!names.isLoaded() && !names.load(folder))
            return writeFailed(name);
        QByteArray fileName = QFile::encodeName(leaf);
        if (const std::optional<QString> existing = names.find(leaf)) {
            fileName = QFile::encodeName(*existing);
            struct stat info {};
            if (::fstatat(folder, fileName.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
                if (S_ISDIR(info.st_mode))
                    return Failure{sevenzip::WriteFailed, QStringLiteral("a folder is in the way: ") + name};
                if (!m_overwrite)
                    return Failure{sevenzip::TargetExists, QStringLiteral("file exists: ") + name};
                // Removed, not truncated: a hard link or a read-only file keeps its other names intact.
                if (::unlinkat(folder, fileName.constData(), 0) != 0)
                    return writeFailed(name);
            }
        } else {
            names.add(leaf);
        }

        UniqueFd out(::openat(folder, fileName.constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!out.isValid())
            return writeFailed(name);
        std::optional<Failure> failure = copyData(reader, out.get(), name);
        if (!failure)
            failure = finish(entry, out, name);
        if (failure)
            ::unlinkat(folder, fileName.constData(), 0);
        return failure;
    }

    static std::optional<Failure> copyData(archive* reader, int out, const QString& name) {
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        while (true) {
            const int status = archive_read_data_block(reader, &block, &size, &offset);
            if (status == ARCHIVE_EOF)
                break;
            if (status != ARCHIVE_OK || offset < 0)
                return damaged(reader);
            const char* data = static_cast<const char*>(block);
            for (size_t done = 0; done < size;) {
                const ssize_t put = ::pwrite(out, data + done, size - done, off_t(offset) + off_t(done));
                if (put < 0 && errno == EINTR)
                    continue;
                if (put <= 0)
                    return writeFailed(name);
                done += size_t(put);
            }
        }
        return std::nullopt;
    }

    // The entry's modified time and read-only attribute (the owner's write bit), then close.
    static std::optional<Failure> finish(archive_entry* entry, UniqueFd& out, const QString& name) {
        if (archive_entry_mtime_is_set(entry)) {
            timespec times[2];
            times[0].tv_sec = 0;
            times[0].tv_nsec = UTIME_OMIT;
            times[1].tv_sec = archive_entry_mtime(entry);
            times[1].tv_nsec = archive_entry_mtime_nsec(entry);
            if (::futimens(out.get(), times) != 0)
                return writeFailed(name);
        }
        if ((archive_entry_perm(entry) & S_IWUSR) == 0) {
            struct stat info {};
            if (::fstat(out.get(), &info) != 0 ||
                ::fchmod(out.get(), info.st_mode & 07777 & ~mode_t(S_IWUSR)) != 0)
                return writeFailed(name);
        }
        if (!out.close())
            return writeFailed(name);
        return std::nullopt;
    }

    UniqueFd m_root;
    bool m_overwrite;
    NameDecoder m_names;
    // Names of the folders seen so far, by their path below the destination as it is on disk.
    QHash<QString, FolderNames> m_folders;
    // A folder entries went to, open, with its path below the destination as it is on disk.
    struct OpenFolder {
        UniqueFd fd;
        QString key;
    };
    // The folders entries went to lately, by the path the entries give: an archive that goes back and
    // forth between folders does not walk down from the destination for each file. At most
    // MaxOpenFolders stay open.
    static constexpr size_t MaxOpenFolders = 64;
    std::unordered_map<QString, OpenFolder> m_openFolders;
    const OpenFolder* m_current = nullptr; // the folder the last entry went to
};

std::optional<Failure> extract(const Machine& machine, const Command& command) {
    const QString archivePath = machine.toHost(command.archive);
    const QString destinationPath = machine.toHost(command.destination);
    if (archivePath.isEmpty())
        return Failure{sevenzip::CannotOpenArchive, QStringLiteral("no such archive: ") + command.archive};
    if (destinationPath.isEmpty() || !QDir().mkpath(destinationPath))
        return Failure{sevenzip::WriteFailed, QStringLiteral("cannot create ") + command.destination};
    UniqueFd destination(
        ::open(QFile::encodeName(destinationPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!destination.isValid())
        return Failure{sevenzip::WriteFailed, QStringLiteral("cannot open ") + command.destination};

    const Utf8ThreadLocale utf8;
    ArchivePtr reader(archive_read_new());
    if (!reader)
        return Failure{sevenzip::CannotOpenArchive, QStringLiteral("out of memory")};
    archive_read_support_format_zip(reader.get());
    archive_read_support_format_7zip(reader.get());
    constexpr size_t BlockSize = size_t(1) << 17;
    const QByteArray hostArchive = QFile::encodeName(archivePath);
    if (archive_read_open_filename(reader.get(), hostArchive.constData(), BlockSize) != ARCHIVE_OK) {
        const char* detail = archive_error_string(reader.get());
        return Failure{sevenzip::CannotOpenArchive,
                       command.archive + QStringLiteral(": ") + QString::fromUtf8(detail ? detail : "")};
    }
    NameDecoder names(hostArchive, MachineInfo::readOnce(machine).ansiCodePage());
    return Extraction(std::move(destination), command.overwrite, std::move(names)).run(reader.get());
}

} // namespace

qint32 SevenZip(const Machine& machine, qint32 hwnd, const QString& commandLine, QString& output,
                qint32 outputSize) {
    Q_UNUSED(hwnd);
    const std::optional<Command> command = parseCommandLine(commandLine);
    const std::optional<Failure> failure =
        command ? extract(machine, *command)
                : std::optional<Failure>(
                      Failure{sevenzip::BadCommandLine, QStringLiteral("bad command line: ") + commandLine});
    if (outputSize > 0)
        output = failure ? failure->reason.left(outputSize - 1) : QString();
    return failure ? failure->code : sevenzip::Ok;
}

} // namespace marvek::platform
