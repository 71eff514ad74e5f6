#include "ZipWriter.h"

#include "BuildError.h"
#include "platform/ArchiveHandles.h"

#include <QFile>
#include <QSet>
#include <archive.h>
#include <archive_entry.h>
#include <memory>

namespace marvek::cdbuilder {

namespace {

using ArchivePtr = platform::archive_handles::WriterPtr;
using platform::archive_handles::EntryPtr;

class ZipOutput {
public:
    ZipOutput(const QString& hostPath, const QString& nameCharset, qint64 mtime)
        : m_archive(archive_write_new()), m_path(hostPath), m_mtime(mtime) {
        if (!m_archive) {
            throw BuildError(QStringLiteral("libarchive: out of memory"));
        }
        check(archive_write_set_format_zip(m_archive.get()), "set format");
        check(archive_write_zip_set_compression_deflate(m_archive.get()), "set compression");
        if (!nameCharset.isEmpty()) {
            const QByteArray charset = nameCharset.toLatin1();
            check(archive_write_set_format_option(m_archive.get(), "zip", "hdrcharset", charset.constData()),
                  "set hdrcharset");
        }
        check(archive_write_open_filename(m_archive.get(), QFile::encodeName(hostPath).constData()), "open");
    }

    void folder(const QString& path) { entry(path + QLatin1Char('/'), nullptr); }
    void file(const QString& path, const QByteArray& data) { entry(path, &data); }

    void close() { check(archive_write_close(m_archive.get()), "close"); }

private:
    void entry(const QString& path, const QByteArray* data) {
        EntryPtr entry(archive_entry_new());
        archive_entry_set_pathname_utf8(entry.get(), path.toUtf8().constData());
        archive_entry_set_filetype(entry.get(), data ? AE_IFREG : AE_IFDIR);
        archive_entry_set_perm(entry.get(), data ? 0644 : 0755);
        archive_entry_set_uid(entry.get(), 0);
        archive_entry_set_gid(entry.get(), 0);
        archive_entry_set_mtime(entry.get(), m_mtime, 0);
        archive_entry_set_size(entry.get(), data ? data->size() : 0);
        check(archive_write_header(m_archive.get(), entry.get()), "write header");
        if (data && !data->isEmpty() &&
            archive_write_data(m_archive.get(), data->constData(), static_cast<size_t>(data->size())) !=
                data->size()) {
            fail("write data");
        }
    }

    void check(int status, const char* what) {
        if (status != ARCHIVE_OK) {
            fail(what);
        }
    }

    [[noreturn]] void fail(const char* what) {
        const char* detail = archive_error_string(m_archive.get());
        throw BuildError(QStringLiteral("%1: %2: %3")
                             .arg(m_path, QLatin1String(what), QString::fromLocal8Bit(detail ? detail : "")));
    }

    ArchivePtr m_archive;
    QString m_path;
    qint64 m_mtime;
};

} // namespace

void writeZip(const QString& hostPath, const QString& topFolder, const FileList& files,
              const QString& nameCharset, qint64 mtime) {
    ZipOutput zip(hostPath, nameCharset, mtime);
    QSet<QString> written;
    for (const GeneratedFile& file : files) {
        const QString path = topFolder + QLatin1Char('/') + file.path;
        // Every folder above the file, outermost first.
        qsizetype slash = path.indexOf(QLatin1Char('/'));
        while (slash >= 0) {
            const QString folder = path.left(slash);
            if (!written.contains(folder)) {
                written.insert(folder);
                zip.folder(folder);
            }
            slash = path.indexOf(QLatin1Char('/'), slash + 1);
        }
        zip.file(path, file.data);
    }
    zip.close();
}

} // namespace marvek::cdbuilder
