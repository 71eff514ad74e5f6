#include "setup/engine/CopyTree.h"

#include "shared/helpers/FileHelpers.h"

#include <QStringList>

namespace marvek::setup {

namespace {

QString joinPath(const QString& folder, const QString& name) {
    return folder.endsWith(u'\\') ? folder + name : folder + u'\\' + name;
}

// One walk of the copy engine: its mode, counters, roots and the stack of folders still to visit.
class TreeCopy {
public:
    TreeCopy(const shared::SharedContext& ctx, int mode, qint32 startCount, QString sourceRoot,
             QString destinationRoot, CopyObserver* observer, platform::Placement placement)
        : m_ctx(ctx), m_mode(mode), m_counter(startCount), m_progress(startCount),
          m_sourceRoot(std::move(sourceRoot)), m_destinationRoot(std::move(destinationRoot)),
          m_observer(observer), m_placement(placement) {}

    qint32 run() {
        if (!visit(m_sourceRoot, m_destinationRoot))
            return -1;
        while (!m_stack.isEmpty()) {
            const QString folder = m_stack.takeLast();
            if (!visit(folder, destinationOf(folder)))
                return -1;
        }
        return m_mode == CopyModeCopy ? 0 : m_counter;
    }

private:
    // Every folder on the stack lies below the source root and its path starts with the root's text, so
    // only that leading occurrence is replaced: a folder deeper down whose path repeats the root's text
    // keeps its name.
    QString destinationOf(const QString& folder) const {
        QString rest = folder.mid(m_sourceRoot.size());
        if (rest.startsWith(u'\\'))
            rest.remove(0, 1);
        return rest.isEmpty() ? m_destinationRoot : joinPath(m_destinationRoot, rest);
    }

    // A link is never followed: one in the source tree fails the walk, and so does one standing where a
    // folder below the destination root goes, before anything is written through it.
    bool visit(const QString& folder, const QString& target) {
        const platform::Files& files = m_ctx.os.files();
        const bool copying = m_mode == CopyModeCopy;
        if (copying && target != m_destinationRoot && files.isLink(target))
            return false;
        if (copying && !files.folderExists(target) && !files.createFolderPath(target))
            return false;
        const std::optional<platform::FolderListing> listing =
            files.listFolder(folder, platform::LinkListing::Apart);
        if (!listing || !listing->links.isEmpty())
            return false;
        m_counter += qint32(listing->files.size());
        if (m_observer)
            m_observer->folderListed();
        for (const QString& name : listing->folders)
            m_stack.append(joinPath(folder, name));
        if (!copying)
            return true;
        // Free names are placed with the folders' host paths resolved once; a name the destination holds
        // already goes through CopyFileReplacing, which replaces it.
        platform::FolderTransfer transfer(files, folder, target);
        for (const QString& name : listing->files) {
            if (!(transfer.isFree(name) && transfer.placeNewWritable(name, m_placement)) &&
                !replace(joinPath(folder, name), joinPath(target, name)))
                return false;
            ++m_progress;
            if (m_observer)
                m_observer->fileCopied(m_progress);
        }
        return true;
    }

    // A move leaves no file behind in the source, a replaced target's source neither; a source that
    // cannot be removed stays for the caller's clean-up of its folder.
    bool replace(const QString& source, const QString& target) const {
        if (!shared::CopyFileReplacing(m_ctx, source, target))
            return false;
        if (m_placement == platform::Placement::Move) {
            const platform::Files& files = m_ctx.os.files();
            if (files.isReadOnly(source))
                files.setAttributes(source, platform::FILE_ATTRIBUTE_NORMAL);
            files.removeFile(source);
        }
        return true;
    }

    const shared::SharedContext& m_ctx;
    const int m_mode;
    qint32 m_counter;
    qint32 m_progress;
    const QString m_sourceRoot;
    const QString m_destinationRoot;
    CopyObserver* const m_observer;
    const platform::Placement m_placement;
    QStringList m_stack;
};

} // namespace

qint32 CopyTree(const shared::SharedContext& ctx, int mode, qint32 startCount, const QString& sourceFolder,
                const QString& destinationFolder, CopyObserver* observer, platform::Placement placement) {
    return TreeCopy(ctx, mode, startCount, sourceFolder, destinationFolder, observer, placement).run();
}

} // namespace marvek::setup
