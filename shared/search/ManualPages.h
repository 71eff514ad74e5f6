#pragma once

#include "platform/Machine.h"
#include "shared/search/SearchIndex.h"

namespace marvek::search {

// Reads the pages of an installed manual for the index. An HTML manual: every .htm/.html file under its
// folder in name order (frame pages left out: their content pages are files of their own), decoded by
// the page's charset or else fallbackCodePage. A PDF manual: the text of each page of its document.
// False when the manual's folder or document cannot be read, or when the sink stops.
bool ReadManualPages(const platform::Machine& machine, const ManualSource& manual, int fallbackCodePage,
                     const PageSink& sink);

// The text of each page of a PDF file (a host path), through Qt PDF in a module loaded on the first call
// (shared/search/pdf); false when the file or the module cannot be loaded.
bool ReadPdfPages(const QString& hostFile, const std::function<bool(int page, const QString& text)>& sink,
                  QString* title = nullptr);

} // namespace marvek::search
