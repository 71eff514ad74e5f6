#pragma once

#include "platform/Machine.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

namespace marvek::platform {

// One mounted file system of /proc/self/mountinfo.
struct MountEntry {
    QString mountPoint;
    QString type;
    friend bool operator==(const MountEntry&, const MountEntry&) = default;
};

// The mounts of a mountinfo text in its order; a line without a mount point or file-system type is
// skipped. The kernel's octal escapes ("\040" for a blank) are decoded.
QList<MountEntry> parseMountInfo(QByteArrayView text);

// Drive letters of media. A program started from a CD (mounted anywhere, an image of one, or a copy of
// its tree) outside every drive of the machine gets the medium's root as a drive of its own, the first
// free letter from D:, as Windows gives an inserted CD a letter. The letter is a symlink
// drives/<letter> to the root, recorded in <prefix>/media.ini, so the same root keeps its letter on every
// start; other host paths stay on Z:.
class MediaDrives {
public:
    MediaDrives(const Machine& machine, QList<MountEntry> mounts, QString homeFolder);
    // The mounts of this process and the user's home folder.
    static MediaDrives forThisProcess(const Machine& machine);

    // The root of the medium that holds a host folder, empty when it lies on none: the nearest folder
    // from the folder up to the mount point of its file system that holds an autostart file (autorun.inf,
    // .autorun, autorun, autorun.sh); else that mount point when it is a removable medium's (an
    // iso9660, udf or fuseiso file system, or a mount under /media or /run/media). Neither "/" nor the
    // home folder is ever a medium.
    QString mediumRoot(const QString& hostFolder) const;

    // The letter of a medium root: the one recorded for it while its drive entry still leads there,
    // else the first letter from D: to Y: without a drive entry, else the letter of a recorded medium
    // that is not there now. The drive is mapped and recorded under a lock, so two programs started from
    // one medium agree. A null letter when none can be given.
    QChar assignLetter(const QString& root) const;

    // The Windows name of a host folder: as Machine::toWindows names it when a drive holds it;
    // outside every drive, on a medium, under the medium's own letter (given first); else on Z:.
    QString windowsName(const QString& hostFolder) const;

    QString recordFile() const;

private:
    const Machine& m_machine;
    QList<MountEntry> m_mounts;
    QString m_home;
};

// The Windows name of the running program's folder, its medium given a letter first: what every
// program's start routine takes as its own folder.
QString programFolder(const Machine& machine);

} // namespace marvek::platform
