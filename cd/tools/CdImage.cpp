#include "CdImage.h"

#include "BuildError.h"
#include "platform/ArchiveHandles.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <archive.h>
#include <archive_entry.h>
#include <locale.h>
#include <memory>
#include <sys/stat.h>

namespace marvek::cdbuilder {

namespace {

using ArchivePtr = platform::archive_handles::WriterPtr;
using platform::archive_handles::EntryPtr;
using platform::archive_handles::Utf8ThreadLocale;

const char* const BuilderMarker = ".sample-cd";

// The tree's entries relative to its top, in name order (a folder before what it holds).
QStringList treeEntries(const QString& treeFolder) {
    QStringList entries;
    QDirIterator it(treeFolder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = it.next().mid(treeFolder.size() + 1);
        if (relative != QLatin1String(BuilderMarker))
            entries.append(relative);
    }
    entries.sort();
    return entries;
}

class ImageOutput {
public:
    ImageOutput(const QString& imageFile, const QString& volumeLabel) : m_archive(archive_write_new()) {
        if (!m_archive)
            throw BuildError(QStringLiteral("libarchive: out of memory"));
        check(archive_write_set_format_iso9660(m_archive.get()), "set format");
        const QByteArray label = volumeLabel.toLatin1();
        check(archive_write_set_format_option(m_archive.get(), "iso9660", "volume-id", label.constData()),
              "set the volume label");
        check(archive_write_set_format_option(m_archive.get(), "iso9660", "rockridge", "1"),
              "set Rock Ridge");
        check(archive_write_set_format_option(m_archive.get(), "iso9660", "joliet", "1"), "set Joliet");
        check(archive_write_open_filename(m_archive.get(), QFile::encodeName(imageFile).constData()), "open");
    }

    void add(const QString& hostPath, const QString& name) {
        struct stat info {};
        if (::lstat(QFile::encodeName(hostPath).constData(), &info) != 0)
            throw BuildError(QStringLiteral("cannot read %1").arg(hostPath));
        if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
            throw BuildError(QStringLiteral("%1 is neither a file nor a folder").arg(hostPath));
        EntryPtr entry(archive_entry_new());
        archive_entry_set_pathname_utf8(entry.get(), name.toUtf8().constData());
        archive_entry_set_filetype(entry.get(), S_ISDIR(info.st_mode) ? AE_IFDIR : AE_IFREG);
        archive_entry_set_perm(entry.get(), info.st_mode & 07777);
        archive_entry_set_mtime(entry.get(), info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
        archive_entry_set_size(entry.get(), S_ISREG(info.st_mode) ? info.st_size : 0);
        check(archive_write_header(m_archive.get(), entry.get()), "write the header of");
        if (S_ISREG(info.st_mode))
            copyData(hostPath, info.st_size);
    }

    void close() { check(archive_write_close(m_archive.get()), "finish"); }

private:
    void copyData(const QString& hostPath, qint64 size) {
        QFile in(hostPath);
        if (!in.open(QIODevice::ReadOnly))
            throw BuildError(QStringLiteral("cannot read %1").arg(hostPath));
        QByteArray block(1 << 16, Qt::Uninitialized);
        qint64 left = size;
        while (left > 0) {
            const qint64 got = in.read(block.data(), qMin<qint64>(block.size(), left));
            if (got <= 0)
                throw BuildError(QStringLiteral("%1 changed while it was written").arg(hostPath));
            if (archive_write_data(m_archive.get(), block.constData(), static_cast<size_t>(got)) != got)
                check(ARCHIVE_FATAL, "write the data of");
            left -= got;
        }
    }

    void check(int result, const char* what) const {
        if (result < ARCHIVE_WARN)
            throw BuildError(
                QStringLiteral("CD image: cannot %1: %2")
                    .arg(QLatin1String(what), QString::fromUtf8(archive_error_string(m_archive.get()))));
    }

    ArchivePtr m_archive;
};

} // namespace

void writeCdImage(const QString& treeFolder, const QString& imageFile, const QString& volumeLabel) {
    static const QRegularExpression volumeIdentifier(QStringLiteral("^[A-Z0-9_]{1,32}$"));
    if (!volumeIdentifier.match(volumeLabel).hasMatch())
        throw BuildError(
            QStringLiteral("\"%1\" is no ISO 9660 volume label (A-Z, 0-9, _; at most 32)").arg(volumeLabel));
    if (!QFileInfo(treeFolder).isDir())
        throw BuildError(QStringLiteral("%1 is no folder").arg(treeFolder));
    const QString top = QFileInfo(treeFolder).absoluteFilePath();
    const Utf8ThreadLocale utf8;
    try {
        ImageOutput image(imageFile, volumeLabel);
        for (const QString& name : treeEntries(top))
            image.add(top + QLatin1Char('/') + name, name);
        image.close();
    } catch (const BuildError&) {
        QFile::remove(imageFile);
        throw;
    }
}

} // namespace marvek::cdbuilder
