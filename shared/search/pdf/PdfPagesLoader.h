#pragma once

#include "shared/search/pdf/PdfPagesModule.h"

namespace marvek::search {

// The PDF module's reader, loaded from the first of its folders that holds it (PdfPagesModuleFolders:
// the build's, then the runtime package's); null when none does, and PDF manuals then stay unread.
ReadPdfPagesFunction LoadPdfPagesModule();

// The folders, defined by a source the build generates (the build's own path changes with each checkout).
const char* const* PdfPagesModuleFolders(); // ends with nullptr

} // namespace marvek::search
