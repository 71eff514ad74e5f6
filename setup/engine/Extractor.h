#pragma once

#include "shared/Context.h"

#include <QString>
#include <QtGlobal>

namespace marvek::setup {

// Extracts an archive into a folder through the archiver: 0 on success.
qint32 RunExtractor(const shared::SharedContext& ctx, const QString& archivePath,
                    const QString& destinationFolder);

} // namespace marvek::setup
