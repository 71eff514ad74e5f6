#pragma once

#include "shared/Context.h"

#include <QString>
#include <QStringList>

namespace marvek::setup {

// The names of the subfolders of a folder (Windows path), in the order the file system lists them here:
// by name without regard to case, as NTFS lists. Empty when the folder cannot be read.
QStringList ListSubfolders(const shared::SharedContext& ctx, const QString& folder);

} // namespace marvek::setup
