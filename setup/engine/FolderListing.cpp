#include "setup/engine/FolderListing.h"

#include <QDir>

namespace marvek::setup {

QStringList ListSubfolders(const shared::SharedContext& ctx, const QString& folder) {
    const QDir dir(ctx.os.machine().toHost(folder));
    return dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                         QDir::Name | QDir::IgnoreCase);
}

} // namespace marvek::setup
