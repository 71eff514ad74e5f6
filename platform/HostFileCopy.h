#pragma once

#include <QByteArray>

namespace marvek::platform {

// Copies one host file to another as Files::copyFile (failIfExists false) or copyNewFile (true) do, the
// names already resolved and encoded: content, modified time and read-only bit; a half-written copy is
// removed. Only the platform's file operations use it.
bool copyHostFile(const QByteArray& sourceName, const QByteArray& targetName, bool failIfExists);

} // namespace marvek::platform
