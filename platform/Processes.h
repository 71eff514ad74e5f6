#pragma once

#include "Machine.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <memory>
#include <optional>

namespace marvek::platform {

inline constexpr quint32 STILL_ACTIVE = 259;
inline constexpr quint32 PROCESS_QUERY_INFORMATION = 0x400;

enum class WindowMode { Hidden = 0, Normal = 1 };

// The argument vector of a Windows command line, by the rules of CommandLineToArgvW
// (blanks separate, double quotes group, backslashes escape only before a quote).
QStringList splitWindowsCommandLine(const QString& commandLine);

// A command line made ready for this host.
struct HostCommand {
    QString program;         // host path of the executable (or /bin/sh for a .bat file)
    QStringList arguments;   // drive-path arguments mapped to host paths
};

// A started child. Owns the process: the destructor reaps it when it has ended, or leaves it running
// (reaped by the process starter's SIGCHLD-free polling of later calls) when it has not.
class ChildProcess {
public:
    explicit ChildProcess(qint64 pid) : m_pid(pid) {}
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    qint64 pid() const { return m_pid; }
    // STILL_ACTIVE (259) while running, then the exit code (128 + signal for a killed process).
    quint32 exitCode();

private:
    qint64 m_pid;
    std::optional<quint32> m_exitCode;
};

class Processes {
public:
    explicit Processes(const Machine& machine);

    // Parses the Windows command line. An unquoted program path containing blanks is resolved as
    // Windows does: the shortest blank-separated prefix naming an existing file (".exe" tried too)
    // is the program, the rest are arguments. A ".bat" or ".cmd" program runs with /bin/sh.
    // Empty when no program file is found.
    std::optional<HostCommand> resolve(const QString& commandLine) const;

    // Starts and keeps the child; nullptr when it cannot be started.
    std::unique_ptr<ChildProcess> start(const QString& commandLine, WindowMode mode) const;
    // Starts without waiting and forgets the child. False when it cannot be started.
    bool startDetached(const QString& commandLine, WindowMode mode) const;

    // Executable file names of every running process (file name only, as the process snapshot gives).
    QStringList runningExecutableNames() const;

private:
    const Machine& m_machine;
};

} // namespace marvek::platform
