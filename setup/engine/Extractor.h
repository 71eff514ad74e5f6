#pragma once

#include "shared/Context.h"

#include <QString>
#include <QtGlobal>

namespace marvek::setup {

// The command line of the archiver library for one archive: "x -aoa -hide ", the archive path as it
// stands (not quoted), a blank, and the destination folder with a "\" appended, in double quotes.
QString ExtractorCommandLine(const QString& archivePath, const QString& destinationFolder);

// Extracts the archive into the destination folder through the archiver library's SevenZip call
// (window handle 0, empty output buffer of size 0). 0 means success.
qint32 RunExtractor(const shared::SharedContext& ctx, const QString& archivePath,
                    const QString& destinationFolder);

} // namespace marvek::setup
