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

// The argument vector of a Windows command line, by the rules of CommandLineToArgvW: blanks (space,
// tab) separate, double quotes group, 2n backslashes before a quote give n backslashes and the quote
// groups, 2n+1 give n backslashes and a literal quote, backslashes elsewhere are literal, and a quote
// pair inside a quoted part gives a literal quote and ends the part. The program name (the first
// element) follows its own rule: quoted, it runs to the next quote; unquoted, to the next blank, with
// no backslash processing. An empty command line gives an empty list.
QStringList splitWindowsCommandLine(const QString& commandLine);

// A command line made ready for this host.
struct HostCommand {
    QString program;       // host path of the executable (or /bin/sh for a .bat file)
    QStringList arguments; // drive-path arguments mapped to host paths
};

// A started child. The destructor never waits and never kills: a child that has ended is reaped at
// once, one still running is left running and reaped by a small background waiter when it ends.
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

    // Parses the Windows command line. A quoted program is taken as it stands; an unquoted program
    // path containing blanks is resolved as Windows does: the shortest blank-separated prefix naming an
    // existing file is the program, the rest are arguments. Each candidate is tried as given, with
    // ".exe" appended when its name has no extension, and (this host's programs have none) without a
    // trailing ".exe"; a bare name is also looked for on PATH. Arguments that are drive paths ("X:",
    // "X:\...") become host paths; others pass unchanged. A ".bat" or ".cmd" program runs with /bin/sh;
    // a program file without execute permission runs through its "#!" interpreter or, for an ELF
    // program, through its program interpreter. Empty when no program file is found or it cannot run.
    std::optional<HostCommand> resolve(const QString& commandLine) const;

    // Starts and keeps the child; nullptr when it cannot be started. The window mode makes no
    // difference on this host (a program without windows shows none either way). The child inherits
    // the environment, working folder and standard output, reads standard input from /dev/null and
    // no other open file of this process. The child reads commandLine, exactly as written, with
    // GetCommandLine (platform/CommandLine.h).
    std::unique_ptr<ChildProcess> start(const QString& commandLine, WindowMode mode) const;
    // Starts without waiting and forgets the child (it gets a session of its own and is not this
    // process's child). False when it cannot be started.
    bool startDetached(const QString& commandLine, WindowMode mode) const;

    // Executable file names of every running process of this machine (file name only, as the process
    // snapshot gives): a process whose environment names another machine root runs on another PC.
    QStringList runningExecutableNames() const;

private:
    const Machine& m_machine;
};

// Starts a host program (no Windows path mapping; a bare name is looked for on PATH) as startDetached
// does, without a Windows command line (it reads its arguments); false when it cannot be run.
bool startDetachedHost(const QString& program, const QStringList& arguments);

} // namespace marvek::platform
