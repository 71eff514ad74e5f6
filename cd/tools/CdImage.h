#pragma once

#include <QString>

namespace marvek::cdbuilder {

// Writes a folder as an ISO 9660 CD image with Rock Ridge (POSIX names, case and permission bits, so
// the programs stay executable on a Linux desktop) and Joliet (Unicode names for Windows) and the given
// volume label. Entries are written in name order with the files' modified times. Symlinks and special
// files are refused (a CD tree holds none), and so is a label that is no ISO 9660 volume identifier
// (1 to 32 characters A-Z, 0-9 and "_"). The builder's marker ".sample-cd" at the top is no file of the
// CD and stays out. Throws BuildError; a failed image is removed.
void writeCdImage(const QString& treeFolder, const QString& imageFile, const QString& volumeLabel);

} // namespace marvek::cdbuilder
