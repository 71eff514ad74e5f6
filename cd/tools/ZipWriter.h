#pragma once

#include "ManualPages.h"

#include <QString>

namespace marvek::cdbuilder {

// Writes a ZIP archive (deflate) holding the files under topFolder, with a folder entry before the
// first file of each folder. Every entry gets the time mtime (seconds since the epoch) and fixed
// owner and permissions, so that the same files give the same archive bytes.
// nameCharset: the code page of the names in the archive ("CP932" for a legacy Japanese archive,
// whose names carry no UTF-8 flag), or empty for UTF-8 names.
void writeZip(const QString& hostPath, const QString& topFolder, const FileList& files,
              const QString& nameCharset, qint64 mtime);

} // namespace marvek::cdbuilder
