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

// Writes a shortcut as a freedesktop desktop entry at linkHostPath (the ".lnk" name is kept).
// Windows paths in the properties are written as given, and also as host paths in Exec/Path.
class Machine;
bool writeShortcut(const Machine& machine, const QString& linkHostPath, const ShortcutProperties& props);

} // namespace marvek::platform
