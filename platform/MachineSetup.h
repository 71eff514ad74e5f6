#pragma once

#include "Machine.h"

#include <QString>
#include <vector>

namespace marvek::platform {

// One value of an INI file of the prefix.
struct IniValue {
    QString section;
    QString key;
    QString value;
};

// Writes values into an INI file of the prefix (machine.ini) under an exclusive lock on "<file>.lock",
// through a temporary file renamed over it, so that readers never see half a file and every other line
// stays as it was. A value goes into the first section of its name (the one the private-profile reader
// reads; names compare without regard to case), after that section's last line; a missing section is
// appended. With replace false a key the section already has, even with an empty value, is kept. False
// when the file exists but cannot be read, or cannot be written.
bool writeIniValues(const QString& file, const std::vector<IniValue>& values, bool replace);

// What every Windows PC has before any program runs, added to a prefix that lacks it, never over what is
// there: drive C:, the registry values of "SOFTWARE\Microsoft\Windows\CurrentVersion" the suite reads
// and their folders, the special folders (the user's and all users' Start menu programs and desktop),
// and machine.ini's locale (user and system language, ANSI code page) and "ProgramFiles", taken once
// from the host's locale. Programs that start at once on a new prefix serialise on "setup.lock" in it.
class MachineSetup {
public:
    explicit MachineSetup(const Machine& machine);

    // Completes the prefix (making its folder when missing). A complete prefix is only read. True when
    // nothing is missing afterwards.
    bool ensure() const;
    // True when the registry values and machine.ini's entries are all there (reads only).
    bool isComplete() const;

    // The registry values and machine.ini entries a new prefix gets; the locale ones from the host.
    static std::vector<IniValue> registryDefaults();
    std::vector<IniValue> machineIniDefaults() const;

private:
    bool ensureFolders() const;
    const Machine& m_machine;
};

} // namespace marvek::platform
