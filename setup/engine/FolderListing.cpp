#include "setup/engine/FolderListing.h"

namespace marvek::setup {

QStringList ListSubfolders(const shared::SharedContext& ctx, const QString& folder) {
    const std::optional<platform::FolderListing> listing = ctx.os.files().listFolder(folder);
    return listing ? listing->folders : QStringList();
}

} // namespace marvek::setup
