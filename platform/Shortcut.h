#pragma once

#include <QString>

namespace marvek::platform {

struct ShortcutProperties {
    QString targetPath;
    QString arguments;
    QString workingDirectory;
    QString description;
    QString iconLocation;
    QString hotkey;
    int windowStyle = 0; // 0: not set; 1 normal
};

// Writes a shortcut as a freedesktop desktop entry (UTF-8) at linkHostPath (the ".lnk" name is kept;
// Name is the link's file name without it). The properties that are set (non-empty texts, a non-zero
// window style) are kept as given in X-Windows-<Property> keys; Exec, Path, Comment and Icon carry them
// for the host: a ".exe" or ".com" target runs directly, a ".bat" or ".cmd" target through /bin/sh and
// any other file through xdg-open, with drive-path arguments mapped to host paths. An existing file is
// replaced. False when the file cannot be written (for instance when its folder does not exist).
// A link in a Start menu or on a desktop of the prefix is also published for the host's desktop
// (DesktopEntries); a failure there does not fail the shortcut.
class Machine;
bool writeShortcut(const Machine& machine, const QString& linkHostPath, const ShortcutProperties& props);
// Removes the shortcut and its published entry; false when the link file is there but cannot be removed.
bool removeShortcut(const Machine& machine, const QString& linkHostPath);

} // namespace marvek::platform
