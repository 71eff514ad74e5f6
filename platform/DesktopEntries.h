#pragma once

#include "Machine.h"
#include "Shortcut.h"

#include <QString>

namespace marvek::platform {

// The prefix's shortcuts published where a Linux desktop looks, as freedesktop desktop entries:
//   a link in a Start menu programs folder (the user's or all users', subfolders too)
//       -> $XDG_DATA_HOME/applications, in the category X-Marvek-ServiceManuals, which the menu file
//          $XDG_CONFIG_HOME/menus/applications-merged/marvek-service-manuals.menu shows as the submenu
//          "Service manuals" ($XDG_DATA_HOME/desktop-directories/marvek-service-manuals.directory)
//   a link on a desktop (the user's or all users')
//       -> the XDG desktop folder (user-dirs.dirs, else ~/Desktop), executable as launchers there must be
//   any other link -> nothing.
// The entry's Exec starts the target through the machine tool, `marvek-machine --root <prefix> run
// [--folder <working folder>] <Windows command line>`, so the program gets its Windows command line and
// working folder as from the link; its icon is "marvek-service-manuals" of the hicolor theme, installed
// into $XDG_DATA_HOME/icons with the first entry. Each entry names its link (X-Marvek-Link); the file name
// is made from the link's path, so writing a link again replaces its entry.
class DesktopEntries {
public:
    enum class Place { None, Menu, Desktop };

    explicit DesktopEntries(const Machine& machine);

    // Where a link (host path) is published.
    Place placeOf(const QString& linkHostPath) const;
    // Writes or replaces the entry of the shortcut at linkHostPath (removes it when the shortcut has no
    // target). True when done, and for a link that is published nowhere.
    bool publish(const QString& linkHostPath, const ShortcutProperties& props) const;
    // Removes the entry of a link; true when none is left.
    bool withdraw(const QString& linkHostPath) const;
    // Removes every entry of the suite (of any prefix) whose link no longer exists, and the menu folder
    // once no menu entry is left. Cheap: lists the two folders, reads only the suite's entries.
    static void sweep();

    // The file an entry of a link is written to, empty for a link published nowhere.
    QString entryPath(const QString& linkHostPath) const;
    static QString applicationsFolder();
    static QString desktopFolder();
    static QString menuFile();
    static QString directoryFile();
    static QString iconFile();
    // The machine tool Exec names: $MARVEK_MACHINE_TOOL, else "marvek-machine" beside the running program,
    // else on PATH (absolute), else the bare name.
    static QString machineToolProgram();
    // The Windows command line a link starts: the target in quotes, then the arguments.
    static QString windowsCommandLine(const ShortcutProperties& props);

private:
    const Machine& m_machine;
};

} // namespace marvek::platform
