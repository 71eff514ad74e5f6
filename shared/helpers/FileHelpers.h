#pragma once

#include "shared/Context.h"

#include <QString>

namespace marvek::shared {

// The path without its last "\" component; a path without "\" comes back unchanged ("Q:" stays "Q:").
QString ParentFolder(const QString& path);

// Removes the last character when it is "\" or when the character before it is ":" ("D:\" -> "D:",
// "D:\Manuals\" -> "D:\Manuals").
QString StripTrailingSeparator(const QString& path);

// Replaces target by a copy of source: a target with attributes set has them cleared (then a one-second
// wait) and is deleted; the copy has no attributes, even when the source was read-only. Errors reach the
// caller as false. The target is left alone when the source is missing or is the target itself.
bool CopyFileReplacing(const SharedContext& ctx, const QString& source, const QString& target);

// CopyFileReplacing with a one-second pause and pending events between the steps, then full access for
// the users group on the copy. A failing grant shows "Set Access Error = " + target (OK, ctx.ProgramTitle)
// and the result stays true: the copy is in place. False when the copy itself failed.
bool CopyFileWithAccess(const SharedContext& ctx, const QString& source, const QString& target);

// Deletes a file even when it is read-only (attributes cleared, then a one-second wait). No message;
// true when the file no longer exists.
bool DeleteFileForce(const SharedContext& ctx, const QString& path);

// True when target does not exist or source was last modified later (in whole seconds) than target.
bool IsSourceNewer(const SharedContext& ctx, const QString& source, const QString& target);

// True when the read-only attribute of the file is clear; false when set or when it cannot be examined.
bool IsWritable(const SharedContext& ctx, const QString& path);

// Empties and recreates a folder: the clean-up batch removes it (RunCleanupBatch, which refuses empty
// and relative paths and drive roots: nothing happens then), then the folder is created again (one
// level). False when the path was refused or the batch could not be started; a failure to create the
// folder is ignored.
bool ResetFolder(const SharedContext& ctx, const QString& path);

} // namespace marvek::shared
