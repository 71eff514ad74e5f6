#pragma once

#include "platform/FolderTransfer.h"
#include "shared/Context.h"

#include <QString>
#include <QtGlobal>

namespace marvek::setup {

// The copy engine's modes.
inline constexpr int CopyModeCopy = 1;  // copy the tree; the result is 0
inline constexpr int CopyModeCount = 2; // count its files; the result is the count plus the start count

// What the copy engine tells the installation window as it goes. The window lets pending events run in
// both calls and shows the progress value on its copy bar.
class CopyObserver {
public:
    virtual ~CopyObserver() = default;
    // A folder was listed and its files added to the count.
    virtual void folderListed() = 0;
    // One more file was copied (copy mode); progressValue is the start count plus the files copied so far.
    virtual void fileCopied(qint32 progressValue) = 0;
};

// The copy engine of every copy the installer makes. Walks the source folder and every folder below it
// (depth first, later siblings first; the files of a folder in its listing order), the destination of
// each folder being its path with the source folder replaced by the destination folder. In copy mode
// each destination folder is created with every missing folder above it, and each file copied over
// with CopyFileReplacing; a file whose name is free in its destination folder is placed there directly
// (platform::FolderTransfer) with the same result, moved rather than copied when placement is Move (the
// source is then left without its files). Returns the number of files plus startCount (count mode, and any
// mode but 1) or 0 (copy mode); -1 when the source folder or a folder below it cannot be listed or holds a
// symbolic link, a folder cannot be created, a folder below the destination root is a symbolic link (copy
// mode) or a file cannot be copied, and the walk stops there. Both roots may be reached through links; the
// caller sees to the destination root itself. observer may be null.
qint32 CopyTree(const shared::SharedContext& ctx, int mode, qint32 startCount, const QString& sourceFolder,
                const QString& destinationFolder, CopyObserver* observer = nullptr,
                platform::Placement placement = platform::Placement::Copy);

} // namespace marvek::setup
