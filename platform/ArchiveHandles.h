#pragma once

#include <archive.h>
#include <archive_entry.h>
#include <clocale>
#include <locale.h>
#include <memory>

// Owning handles of libarchive's objects, and the thread locale its name conversions need.
namespace marvek::platform::archive_handles {

struct ReaderFree {
    void operator()(archive* a) const { archive_read_free(a); }
};
struct WriterFree {
    void operator()(archive* a) const { archive_write_free(a); }
};
struct EntryFree {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};
using ReaderPtr = std::unique_ptr<archive, ReaderFree>;
using WriterPtr = std::unique_ptr<archive, WriterFree>;
using EntryPtr = std::unique_ptr<archive_entry, EntryFree>;

// libarchive converts entry names through the charset of the calling thread's locale. While one of
// these lives, this thread (only this thread, only LC_CTYPE) uses C.UTF-8, so that names are UTF-8
// whatever the process's locale is.
class Utf8ThreadLocale {
public:
    Utf8ThreadLocale() : m_locale(::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr))) {
        if (m_locale)
            m_previous = ::uselocale(m_locale);
    }
    ~Utf8ThreadLocale() {
        if (m_locale) {
            ::uselocale(m_previous);
            ::freelocale(m_locale);
        }
    }
    Utf8ThreadLocale(const Utf8ThreadLocale&) = delete;
    Utf8ThreadLocale& operator=(const Utf8ThreadLocale&) = delete;

private:
    locale_t m_locale;
    locale_t m_previous = LC_GLOBAL_LOCALE;
};

} // namespace marvek::platform::archive_handles
