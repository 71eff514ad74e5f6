#include "setup/engine/CopyTree.h"

#include "shared/helpers/FileHelpers.h"

#include <QDir>
#include <vector>

namespace marvek::setup {

qint32 CopyTree(const shared::SharedContext& ctx, int mode, qint32 startCount, const QString& source,
                const QString& destination, CopyObserver* observer) {
    const platform::Files& files = ctx.os.files();
    qint32 counter = startCount;
    qint32 progress = startCount;
    std::vector<QString> stack;
    auto visit = [&](const QString& folder, const QString& target) {
        if (mode == CopyModeCopy && !files.folderExists(target) && !files.createFolderPath(target))
            return false;
        const QDir dir(ctx.os.machine().toHost(folder));
        if (!dir.exists())
            return false;
        const QStringList subfolders =
            dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
        const QStringList names =
            dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase);
        counter += static_cast<qint32>(names.size());
        if (observer != nullptr)
            observer->folderListed();
        for (const QString& name : subfolders)
            stack.push_back(folder + QLatin1Char('\\') + name);
        if (mode != CopyModeCopy)
            return true;
        for (const QString& name : names) {
            if (!shared::CopyFileReplacing(ctx, folder + QLatin1Char('\\') + name,
                                           target + QLatin1Char('\\') + name))
                return false;
            ++progress;
            if (observer != nullptr)
                observer->fileCopied(progress);
        }
        return true;
    };
    if (!visit(source, destination))
        return -1;
    while (!stack.empty()) {
        const QString folder = stack.back();
        stack.pop_back();
        QString target = folder;
        target.replace(source, destination);
        if (!visit(folder, target))
            return -1;
    }
    return mode == CopyModeCopy ? 0 : counter;
}

} // namespace marvek::setup
