#include "platform/testing/TestArchive.h"

#include "platform/ArchiveHandles.h"

#include <QFile>
#include <archive.h>
#include <archive_entry.h>
#include <locale.h>
#include <memory>
#include <sys/stat.h>

namespace marvek::testing {

namespace {

using platform::archive_handles::EntryPtr;
using platform::archive_handles::Utf8ThreadLocale;
using platform::archive_handles::WriterPtr;

unsigned fileType(TestArchive::Kind kind) {
    switch (kind) {
    case TestArchive::Kind::Folder:
        return AE_IFDIR;
    case TestArchive::Kind::Symlink:
        return AE_IFLNK;
    case TestArchive::Kind::Fifo:
        return AE_IFIFO;
    case TestArchive::Kind::CharDevice:
        return AE_IFCHR;
    case TestArchive::Kind::File:
        break;
    }
    return AE_IFREG;
}

} // namespace

TestArchive& TestArchive::readOnlyFile(const QString& name, const QByteArray& data) {
    add(Kind::File, name, data);
    m_entries.back().readOnly = true;
    return *this;
}

bool TestArchive::write(const QString& hostPath, Format format) const {
    const Utf8ThreadLocale utf8;
    WriterPtr writer(archive_write_new());
    if (!writer)
        return false;
    const bool zip = format == Format::Zip;
    if ((zip ? archive_write_set_format_zip(writer.get()) : archive_write_set_format_7zip(writer.get())) !=
        ARCHIVE_OK)
        return false;
    if (zip && !m_charset.isEmpty() &&
        archive_write_set_format_option(writer.get(), "zip", "hdrcharset", m_charset.constData()) !=
            ARCHIVE_OK)
        return false;
    if (archive_write_open_filename(writer.get(), QFile::encodeName(hostPath).constData()) != ARCHIVE_OK)
        return false;
    for (const Entry& item : m_entries) {
        EntryPtr entry(archive_entry_new());
        archive_entry_set_pathname_utf8(entry.get(), item.name.toUtf8().constData());
        archive_entry_set_filetype(entry.get(), fileType(item.kind));
        archive_entry_set_perm(entry.get(), item.kind == Kind::Folder ? 0755 : item.readOnly ? 0444 : 0644);
        archive_entry_set_mtime(entry.get(), EntryTime, 0);
        const bool content = item.kind == Kind::File;
        archive_entry_set_size(entry.get(), content ? item.data.size() : 0);
        if (item.kind == Kind::Symlink)
            archive_entry_set_symlink_utf8(entry.get(), item.data.constData());
        if (archive_write_header(writer.get(), entry.get()) != ARCHIVE_OK)
            return false;
        if (content && !item.data.isEmpty() &&
            archive_write_data(writer.get(), item.data.constData(), size_t(item.data.size())) !=
                item.data.size())
            return false;
    }
    return archive_write_close(writer.get()) == ARCHIVE_OK;
}

} // namespace marvek::testing
