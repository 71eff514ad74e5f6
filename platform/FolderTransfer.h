#pragma once

#include "platform/Files.h"
#include "platform/UniqueFd.h"

#include <QByteArray>
#include <QSet>
#include <QString>

namespace marvek::platform {

// How FolderTransfer places a file: a copy, or a move (a rename within the file system, a copy and the
// source's removal across file systems or when the rename fails).
enum class Placement { Copy, Move };

// The files of one folder placed under a free name in another, the two folders' host paths resolved once:
// the copy engine's way through a folder of new files, without a name lookup per file. A name the target
// folder holds already (without regard to case, names placed here included) or one that is not ASCII is
// left to the operations on full paths, which find the existing entry as Windows would.
class FolderTransfer {
public:
    // Both folders must exist; they stay open, and the target's names are read once. Invalid when either
    // cannot be opened or read.
    FolderTransfer(const Files& files, const QString& sourceFolder, const QString& targetFolder);

    bool isValid() const { return m_valid; }
    // True when the name can be placed here: ASCII, and nothing in the target folder has it in any case.
    bool isFree(const QString& name) const;
    // Places sourceFolder\name at targetFolder\name as copyNewFile does (same content, modified time and
    // read-only bit; never over an existing entry), then clears the target's read-only bit. A move leaves
    // no source behind; a failed one leaves the source and no target. False when the name is not free.
    bool placeNewWritable(const QString& name, Placement how);

private:
    const Files& m_files;
    QString m_sourceFolder;
    QString m_targetFolder;
    QByteArray m_sourceHost; // with a trailing '/'
    QByteArray m_targetHost; // with a trailing '/'
    UniqueFd m_sourceDir;    // the folders, open: a move renames by name
    UniqueFd m_targetDir;
    QSet<QString> m_taken; // the target's names, case-folded
    bool m_valid = false;
};

} // namespace marvek::platform
