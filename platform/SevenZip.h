#pragma once

#include "Machine.h"

#include <QString>
#include <QtGlobal>

namespace marvek::platform {

// Results of SevenZip: 0 is success, every other value a failure.
namespace sevenzip {
inline constexpr qint32 Ok = 0;
inline constexpr qint32 BadCommandLine = 1;    // unknown command or switch, or no archive or destination
inline constexpr qint32 CannotOpenArchive = 2; // missing, unreadable, or not a zip or 7z archive
inline constexpr qint32 DamagedArchive = 3;    // truncated or corrupt data
inline constexpr qint32 UnsafeEntry = 4;       // an entry that would land outside the destination, a link
                                               // or a special file
inline constexpr qint32 WriteFailed = 5;       // a folder or file of the destination cannot be written
inline constexpr qint32 TargetExists = 6;      // an entry meets an existing file and "-aoa" was not given
} // namespace sevenzip

// The archiver library's one call, on libarchive: "x" (extract with paths) of a zip or 7z archive into a
// folder, synchronously. The command line is
//     x {-aoa | -hide} <archive> "<destination>\"
// where the archive is everything between the switches and the last argument, quoted or not, blanks
// included, and the destination is the last argument, in double quotes or without blanks, ending in
// "\". Inside quotes a backslash is literal. "-aoa" overwrites existing files without asking; without
// it an existing file fails the extraction. "-hide" is accepted: there is never a window. Both paths are
// Windows paths of the machine; the destination is created when missing.
// Entry names without the UTF-8 flag are in the machine's ANSI code page; "\" separates like "/"; each
// name lands on existing folders and files without regard to case; trailing blanks and dots of a name
// are dropped, as Windows does. An entry that would land outside the destination (a ".." or a name of
// only dots and blanks, an absolute or drive name), a link of any kind and a special file fail the
// extraction: nothing is ever written outside the destination, and no link is followed below it.
// Entries are streamed from the archive to the files. hwnd is ignored. When outputSize is positive,
// output receives the reason of a failure (empty on success), cut to outputSize - 1 characters.
qint32 SevenZip(const Machine& machine, qint32 hwnd, const QString& commandLine, QString& output,
                qint32 outputSize);

} // namespace marvek::platform
