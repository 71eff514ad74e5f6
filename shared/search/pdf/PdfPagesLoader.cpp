#include "shared/search/pdf/PdfPagesLoader.h"

#include <QFileInfo>
#include <QLibrary>
#include <cstdio>

namespace marvek::search {

ReadPdfPagesFunction LoadPdfPagesModule() {
    for (const char* const* folder = PdfPagesModuleFolders(); *folder; ++folder) {
        const QString file =
            QString::fromUtf8(*folder) + QLatin1Char('/') + QLatin1String(PdfPagesModuleFile);
        if (!QFileInfo::exists(file))
            continue;
        // Never unloaded: the function stays valid for the rest of the process.
        QLibrary module(file);
        if (const auto read = reinterpret_cast<ReadPdfPagesFunction>(module.resolve(PdfPagesEntry)))
            return read;
        std::fprintf(stderr, "%s: %s\n", qPrintable(file), qPrintable(module.errorString()));
    }
    return nullptr;
}

} // namespace marvek::search
