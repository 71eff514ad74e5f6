#include "platform/testing/TestArchive.h"

#include <QFile>
#include <archive.h>
#include <archive_entry.h>
#include <locale.h>
#include <memory>
#include <sys/stat.h>

namespace marvek::testing {

namespace {

struct WriterFree {
    void operator()(archive* a) const { archive_write_free(a); }
};
struct EntryFree {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};

// libarchive converts names through the thread's locale: UTF-8 while writing.
class Utf8Locale {
public:
    Utf8Locale() : m_locale(::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr))) {
        if (m_locale)
            m_previous = ::uselocale(m_locale);
    }
    ~Utf8Locale() {
        if (m_locale) {
            ::uselocale(m_previous);
            ::freelocale(m_locale);
        }
    }
    Utf8Locale(const Utf8Locale&) = delete;
    Utf8Locale& operator=(const Utf8Locale&) = delete;

private:
    locale_t m_locale;
    locale_t m_previous = LC_GLOBAL_LOCALE;
};

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
    const Utf8Locale utf8;
    std::unique_ptr<archive, WriterFree> writer(archive_write_new());
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
        std::unique_ptr<archive_entry, EntryFree> entry(archive_entry_new());
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
