#pragma once

#include "Machine.h"

#include <QString>

namespace marvek::platform {

// Tells every user of a machine that a program runs on it, where the process list cannot (another
// user's processes do not say which machine they work in): a flock on "<machine>/run/<program>.lock",
// held for the life of the object and dropped by the kernel when the process dies. The folder and the
// file are made group-writable on a shared machine (enterMachine), so every technician can take and
// test the mark. The descriptor is close-on-exec: started children do not keep it.
class ProgramMark {
public:
    enum class Kind {
        Shared,   // many may run at once (the manager of several technicians)
        Exclusive // one on the whole machine (the installer): taken without waiting
    };

    ProgramMark(const Machine& machine, const QString& programName, Kind kind);
    ~ProgramMark();
    ProgramMark(const ProgramMark&) = delete;
    ProgramMark& operator=(const ProgramMark&) = delete;

    // True when another process (of any user) holds the exclusive mark; false when this one holds it or
    // the mark could not be made (a machine that cannot be written to marks nothing).
    bool heldByAnother() const { return m_heldByAnother; }

    // Whether a program holds its mark on the machine now: a try for the exclusive lock without waiting
    // on the file, which needs no write access. A missing file is no program.
    static bool isRunning(const Machine& machine, const QString& programName);
    // The name the process checks know this program by: the file name of its executable ("Mandex.exe"
    // as installed).
    static QString ofThisProgram();
    // The file of a program's mark (the name's "/" and "\" become "_").
    static QString file(const Machine& machine, const QString& programName);

private:
    int m_fd = -1;
    bool m_heldByAnother = false;
};

} // namespace marvek::platform
