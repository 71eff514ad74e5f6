#pragma once

#include "shared/Context.h"

#include <QString>
#include <QtGlobal>

namespace marvek::setup {

inline constexpr int CopyModeCopy = 1;
inline constexpr int CopyModeCount = 2;

// Told by the copy engine after every folder listing and every copied file.
class CopyObserver {
public:
    virtual ~CopyObserver() = default;
    virtual void folderListed() = 0;
    virtual void fileCopied(qint32 progressValue) = 0;
};

// The folder-tree copy engine. Count mode: the number of files under source plus startCount, -1 on
// failure. Copy mode: 0, or -1 when a folder cannot be created or a file cannot be copied.
qint32 CopyTree(const shared::SharedContext& ctx, int mode, qint32 startCount, const QString& source,
                const QString& destination, CopyObserver* observer);

} // namespace marvek::setup
