// The PDF reader as a module of its own, loaded by the programs on their first PDF (PdfPages.cpp):
// Qt PDF and the libraries it brings (Qt Network, Kerberos, the proxy and JPEG 2000 libraries) cost every
// program start a few milliseconds, and most starts read no PDF.
#include "shared/search/pdf/PdfPagesModule.h"

#include <QPdfDocument>
#include <algorithm>

extern "C" Q_DECL_EXPORT bool marvek_read_pdf_pages_v1(const QString& hostFile,
                                                       const marvek::search::PdfPageSink& sink,
                                                       QString* title, int maxPages) {
    QPdfDocument document;
    if (document.load(hostFile) != QPdfDocument::Error::None)
        return false;
    if (title)
        *title = document.metaData(QPdfDocument::MetaDataField::Title).toString().trimmed();
    const int count = std::min(document.pageCount(), maxPages);
    for (int page = 0; page < count; ++page)
        if (!sink(page + 1, document.getAllText(page).text()))
            return false;
    return true;
}
