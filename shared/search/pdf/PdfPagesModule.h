#pragma once

#include <QString>
#include <functional>

namespace marvek::search {

// A page's number (from 1) and text; false stops the reading.
using PdfPageSink = std::function<bool(int page, const QString& text)>;

// The module's one function, found by its name (PdfPagesEntry): the text of each page of a PDF file (a
// host path) up to maxPages, and its title when asked; false when it cannot be loaded or the sink stops.
using ReadPdfPagesFunction = bool (*)(const QString& hostFile, const PdfPageSink& sink, QString* title,
                                      int maxPages);
inline constexpr const char* PdfPagesEntry = "marvek_read_pdf_pages_v1";
// The module's file name.
inline constexpr const char* PdfPagesModuleFile = "libmarvek-pdf-pages.so";

} // namespace marvek::search
