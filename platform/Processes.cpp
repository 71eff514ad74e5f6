#include "platform/Processes.h"

#include "platform/CommandLine.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <elf.h>
#include <fcntl.h>
#include <linux/close_range.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace marvek::platform {

namespace {

// Exit code reported for a child whose status could not be collected (reaped elsewhere).
constexpr quint32 UnknownExitCode = 1;

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

qsizetype skipBlanks(const QString& text, qsizetype i) {
    while (i < text.size() && isBlank(text[i]))
        ++i;
    return i;
}

// The arguments after the program name, from index i, by the argument rules of CommandLineToArgvW.
// `quotes` counts the quotes of a run as Windows does: 1 = inside a quoted part; a third quote in a
// row is a literal quote and leaves the quoted part.
void appendArguments(const QString& line, qsizetype i, QStringList& arguments) {
    const qsizetype n = line.size();
    i = skipBlanks(line, i);
    while (i < n) {
        QString argument;
        int quotes = 0;
        while (i < n && !(isBlank(line[i]) && quotes == 0)) {
            if (line[i] == u'\\') {
                qsizetype backslashes = 0;
                while (i < n && line[i] == u'\\') {
                    ++backslashes;
                    ++i;
                }
                if (i < n && line[i] == u'"') {
                    argument += QString(backslashes / 2, u'\\');
                    if (backslashes % 2 == 1) {
                        argument += u'"';
                        ++i;
                    }
                } else {
                    argument += QString(backslashes, u'\\');
                }
                continue;
            }
            if (line[i] == u'"') {
                ++quotes;
                ++i;
                while (i < n && line[i] == u'"') {
                    if (++quotes == 3) {
                        argument += u'"';
                        quotes = 0;
                    }
                    ++i;
                }
                if (quotes == 2)
                    quotes = 0;
                continue;
            }
            argument += line[i];
            ++i;
        }
        arguments.append(argument);
        i = skipBlanks(line, i);
    }
}

bool isDrivePath(const QString& text) {
    if (text.size() < 2 || text[1] != u':' || !text[0].isLetter() || text[0].unicode() > 0x7F)
        return false;
    return text.size() == 2 || text[2] == u'\\' || text[2] == u'/';
}

bool hasExtension(const QString& windowsPath) {
    const qsizetype separator = std::max(windowsPath.lastIndexOf(u'\\'), windowsPath.lastIndexOf(u'/'));
    return windowsPath.indexOf(u'.', separator + 1) >= 0;
}

bool isBareName(const QString& name) {
    return !name.contains(u'\\') && !name.contains(u'/') && !name.contains(u':');
}

QByteArray readHead(const QString& hostPath, qint64 size) {
    QFile file(hostPath);
    return file.open(QIODevice::ReadOnly) ? file.read(size) : QByteArray();
}

// The program interpreter (PT_INTERP) named in an ELF program's header; empty for a static program or a
// file that is not an ELF program of this host's byte order.
template <typename Header, typename ProgramHeader> QString elfInterpreter(QFile& file) {
    Header header{};
    if (file.read(reinterpret_cast<char*>(&header), sizeof header) != sizeof header ||
        header.e_phentsize != sizeof(ProgramHeader))
        return {};
    for (unsigned index = 0; index < header.e_phnum; ++index) {
        ProgramHeader program{};
        if (!file.seek(static_cast<qint64>(header.e_phoff + index * sizeof(ProgramHeader))) ||
            file.read(reinterpret_cast<char*>(&program), sizeof program) != sizeof program)
            return {};
        if (program.p_type != PT_INTERP)
            continue;
        if (program.p_filesz == 0 || program.p_filesz > 4096 ||
            !file.seek(static_cast<qint64>(program.p_offset)))
            return {};
        QByteArray name = file.read(static_cast<qint64>(program.p_filesz));
        if (const qsizetype nul = name.indexOf('\0'); nul >= 0)
            name.truncate(nul);
        return QFile::decodeName(name);
    }
    return {};
}

QString elfInterpreter(const QString& hostPath) {
    QFile file(hostPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray ident = file.peek(EI_NIDENT);
    const char hostData = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? ELFDATA2LSB : ELFDATA2MSB;
    if (ident.size() < EI_NIDENT || !ident.startsWith(QByteArray(ELFMAG, SELFMAG)) ||
        ident[EI_DATA] != hostData)
        return {};
    if (ident[EI_CLASS] == ELFCLASS64)
        return elfInterpreter<Elf64_Ehdr, Elf64_Phdr>(file);
    if (ident[EI_CLASS] == ELFCLASS32)
        return elfInterpreter<Elf32_Ehdr, Elf32_Phdr>(file);
    return {};
}

// How the host runs a program file without execute permission: through the interpreter of its "#!"
// line (the rest of the line is one argument, as the kernel passes it) or, for an ELF program, through
// its program interpreter. Empty when the file is neither.
std::optional<HostCommand> runThroughInterpreter(const QString& hostProgram, const QStringList& arguments) {
    const QByteArray head = readHead(hostProgram, 256);
    HostCommand command;
    if (head.startsWith("#!")) {
        const qsizetype end = head.indexOf('\n');
        const QString line = QFile::decodeName(head.mid(2, end < 0 ? -1 : end - 2)).trimmed();
        qsizetype blank = 0;
        while (blank < line.size() && !isBlank(line[blank]))
            ++blank;
        command.program = line.left(blank);
        if (const QString argument = line.mid(blank).trimmed(); !argument.isEmpty())
            command.arguments.append(argument);
    } else {
        command.program = elfInterpreter(hostProgram);
    }
    if (command.program.isEmpty() || !QFileInfo(command.program).isExecutable())
        return std::nullopt;
    command.arguments.append(hostProgram);
    command.arguments.append(arguments);
    return command;
}

// An argument vector for execve, with the bytes it points into.
class ExecArguments {
public:
    explicit ExecArguments(const HostCommand& command) {
        m_bytes.push_back(QFile::encodeName(command.program));
        for (const QString& argument : command.arguments)
            m_bytes.push_back(QFile::encodeName(argument));
        for (QByteArray& bytes : m_bytes)
            m_pointers.push_back(bytes.data());
        m_pointers.push_back(nullptr);
    }

    const char* program() const { return m_bytes.front().constData(); }
    char* const* argv() const { return m_pointers.data(); }

private:
    std::vector<QByteArray> m_bytes;
    std::vector<char*> m_pointers;
};

// The environment of a child: this process's, without a command line handed to this process, and
// with the child's own Windows command line when it has one. A program of a machine runs on that machine
// (MARVEK_ROOT names it), however this process came to it (--root of the machine tool, the system's
// machine, the user's own).
class ChildEnvironment {
public:
    ChildEnvironment(const Machine* machine, const std::optional<QString>& commandLine) {
        const QByteArray linePrefix = QByteArray(CommandLineVariable) + '=';
        const QByteArray rootPrefix = "MARVEK_ROOT=";
        for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
            const QByteArrayView variable(*entry);
            if (!variable.startsWith(linePrefix) && !(machine && variable.startsWith(rootPrefix)))
                m_bytes.emplace_back(*entry);
        }
        if (machine)
            m_bytes.push_back(rootPrefix + QFile::encodeName(machine->root()));
        if (commandLine)
            m_bytes.push_back(linePrefix + commandLine->toUtf8());
        for (QByteArray& bytes : m_bytes)
            m_pointers.push_back(bytes.data());
        m_pointers.push_back(nullptr);
    }

    char* const* envp() const { return m_pointers.data(); }

private:
    std::vector<QByteArray> m_bytes;
    std::vector<char*> m_pointers;
};

// Signals a child must not inherit as ignored.
sigset_t signalsToDefault() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGPIPE, SIGCHLD, SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM})
        sigaddset(&set, signal);
    return set;
}

class SpawnSettings {
public:
    SpawnSettings() {
        posix_spawn_file_actions_init(&m_actions);
        posix_spawn_file_actions_addopen(&m_actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addclosefrom_np(&m_actions, STDERR_FILENO + 1);
        posix_spawnattr_init(&m_attributes);
        sigset_t none;
        sigemptyset(&none);
        const sigset_t defaults = signalsToDefault();
        posix_spawnattr_setsigmask(&m_attributes, &none);
        posix_spawnattr_setsigdefault(&m_attributes, &defaults);
        posix_spawnattr_setflags(&m_attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnSettings() {
        posix_spawnattr_destroy(&m_attributes);
        posix_spawn_file_actions_destroy(&m_actions);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;

    const posix_spawn_file_actions_t* actions() const { return &m_actions; }
    const posix_spawnattr_t* attributes() const { return &m_attributes; }

private:
    posix_spawn_file_actions_t m_actions;
    posix_spawnattr_t m_attributes;
};

pid_t spawnChild(const HostCommand& command, const ChildEnvironment& environment) {
    const ExecArguments exec(command);
    const SpawnSettings settings;
    pid_t pid = -1;
    if (posix_spawn(&pid, exec.program(), settings.actions(), settings.attributes(), exec.argv(),
                    environment.envp()) != 0)
        return -1;
    return pid;
}

// Marks every descriptor above standard error close-on-exec; async-signal-safe.
void closeStrayDescriptorsOnExec(long openMax) {
    if (close_range(STDERR_FILENO + 1, ~0U, CLOSE_RANGE_CLOEXEC) == 0)
        return;
    for (long fd = STDERR_FILENO + 1; fd < openMax; ++fd)
        fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
}

void writeErrno(int fd, int error) {
    [[maybe_unused]] const ssize_t written = write(fd, &error, sizeof error);
}

// Double fork: the program runs as a grandchild in a session of its own, adopted by init, so nothing is
// left to reap here. Between fork and exec only async-signal-safe calls are made. An exec failure comes
// back through a close-on-exec pipe.
bool spawnDetached(const HostCommand& command, const ChildEnvironment& environment) {
    const ExecArguments exec(command);
    const sigset_t defaults = signalsToDefault();
    const long openMax = sysconf(_SC_OPEN_MAX) > 0 ? sysconf(_SC_OPEN_MAX) : 1024;
    int errorPipe[2];
    if (pipe2(errorPipe, O_CLOEXEC) != 0)
        return false;

    const pid_t middle = fork();
    if (middle == 0) {
        close(errorPipe[0]);
        const pid_t grandchild = fork();
        if (grandchild == 0) {
            setsid();
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            struct sigaction action {};
            action.sa_handler = SIG_DFL;
            for (int signal = 1; signal < NSIG; ++signal) {
                if (sigismember(&defaults, signal) == 1)
                    sigaction(signal, &action, nullptr);
            }
            const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
            if (null >= 0)
                dup2(null, STDIN_FILENO);
            closeStrayDescriptorsOnExec(openMax);
            execve(exec.program(), exec.argv(), environment.envp());
            writeErrno(errorPipe[1], errno);
            _exit(127);
        }
        if (grandchild < 0)
            writeErrno(errorPipe[1], errno);
        _exit(0);
    }
    close(errorPipe[1]);
    bool started = false;
    if (middle > 0) {
        int status = 0;
        while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
        }
        int error = 0;
        ssize_t got = 0;
        do {
            got = read(errorPipe[0], &error, sizeof error);
        } while (got < 0 && errno == EINTR);
        started = got == 0;
    }
    close(errorPipe[0]);
    return started;
}

// The start of a /proc file (the kernel gives such files no size); empty when it cannot be read.
QByteArray readProcFile(const QByteArray& path) {
    const int fd = open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    char buffer[4096];
    ssize_t got = 0;
    do {
        got = read(fd, buffer, sizeof buffer);
    } while (got < 0 && errno == EINTR);
    close(fd);
    return got > 0 ? QByteArray(buffer, got) : QByteArray();
}

// Whether a process runs on this machine: the machine root its environment names (as the suite's
// programs find theirs) is this one's. The asking process itself is counted in; a process whose
// environment cannot be read (another user's) is counted out: the suite's programs of other users say
// that they run on this machine through its program marks (ProgramMark).
bool onMachine(const QByteArray& pid, const Machine& machine, const QString& systemRoot) {
    if (pid == QByteArray::number(getpid()))
        return true;
    QFile environ(QStringLiteral("/proc/%1/environ").arg(QLatin1String(pid)));
    if (!environ.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    constexpr qint64 MaxEnvironment = 1 << 20;
    const QByteArray text = environ.read(MaxEnvironment);
    QString marvekRoot;
    QString dataHome;
    QString home;
    for (const QByteArray& entry : text.split('\0')) {
        if (entry.startsWith("MARVEK_ROOT="))
            marvekRoot = QFile::decodeName(entry.mid(12));
        else if (entry.startsWith("XDG_DATA_HOME="))
            dataHome = QFile::decodeName(entry.mid(14));
        else if (entry.startsWith("HOME="))
            home = QFile::decodeName(entry.mid(5));
    }
    return Machine(Machine::chooseWith(marvekRoot, dataHome, home, systemRoot).root).root() == machine.root();
}

QString fileName(const QString& path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// The executable file name of a process: the file name of its executable link, else of the first word of
// its command line, else its kernel name; empty when the process has gone meanwhile. A script runs with
// its interpreter as the executable, but the kernel names the process after the script (cut to 15
// characters): then the argument naming the script gives the name, as the script is the program.
QString executableName(const QByteArray& pid) {
    const QByteArray folder = "/proc/" + pid;
    const QString kernelName = QFile::decodeName(readProcFile(folder + "/comm")).trimmed();
    QStringList commandLine;
    for (const QByteArray& word : readProcFile(folder + "/cmdline").split('\0'))
        commandLine.append(QFile::decodeName(word));

    char target[4096];
    const ssize_t length = readlink((folder + "/exe").constData(), target, sizeof target);
    if (length > 0 && length < static_cast<ssize_t>(sizeof target)) {
        QString path = QFile::decodeName(QByteArray(target, length));
        if (path.endsWith(QLatin1String(" (deleted)")))
            path.chop(10);
        if (const QString name = fileName(path); !name.isEmpty()) {
            if (!kernelName.isEmpty() && !name.startsWith(kernelName)) {
                for (const QString& argument : commandLine.mid(1)) {
                    if (const QString script = fileName(argument); script.startsWith(kernelName))
                        return script;
                }
            }
            return name;
        }
    }
    if (const QString name = fileName(commandLine.value(0)); !name.isEmpty())
        return name;
    return kernelName;
}

} // namespace

QStringList splitWindowsCommandLine(const QString& commandLine) {
    QStringList arguments;
    if (commandLine.isEmpty())
        return arguments;
    qsizetype i = 0;
    QString program;
    if (commandLine[0] == u'"') {
        const qsizetype close = commandLine.indexOf(u'"', 1);
        program = commandLine.mid(1, close < 0 ? -1 : close - 1);
        i = close < 0 ? commandLine.size() : close + 1;
    } else {
        while (i < commandLine.size() && !isBlank(commandLine[i]))
            ++i;
        program = commandLine.left(i);
    }
    arguments.append(program);
    appendArguments(commandLine, i, arguments);
    return arguments;
}

ChildProcess::~ChildProcess() {
    if (m_pid <= 0 || exitCode() != STILL_ACTIVE)
        return;
    const auto pid = static_cast<pid_t>(m_pid);
    try {
        std::thread([pid] {
            int status = 0;
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to wait with: the ended child stays a zombie until this process ends.
    }
}

quint32 ChildProcess::exitCode() {
    if (m_exitCode)
        return *m_exitCode;
    int status = 0;
    pid_t result = 0;
    do {
        result = waitpid(static_cast<pid_t>(m_pid), &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == 0)
        return STILL_ACTIVE;
    if (result < 0)
        m_exitCode = UnknownExitCode;
    else if (WIFEXITED(status))
        m_exitCode = static_cast<quint32>(WEXITSTATUS(status));
    else if (WIFSIGNALED(status))
        m_exitCode = 128u + static_cast<quint32>(WTERMSIG(status));
    else
        return STILL_ACTIVE; // stopped or continued: still there
    return *m_exitCode;
}

Processes::Processes(const Machine& machine) : m_machine(machine) {
}

std::optional<HostCommand> Processes::resolve(const QString& commandLine) const {
    const QString line = commandLine.mid(skipBlanks(commandLine, 0));
    if (line.isEmpty())
        return std::nullopt;

    const auto findProgram = [this](const QString& name) -> QString {
        QStringList candidates{name};
        if (!hasExtension(name))
            candidates.append(name + QStringLiteral(".exe"));
        if (name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
            candidates.append(name.chopped(4));
        for (const QString& candidate : std::as_const(candidates)) {
            const QString host = m_machine.toHost(candidate);
            if (!host.isEmpty() && QFileInfo(host).isFile())
                return host;
        }
        if (isBareName(name)) {
            for (const QString& candidate : std::as_const(candidates)) {
                if (const QString found = QStandardPaths::findExecutable(candidate); !found.isEmpty())
                    return found;
            }
        }
        return {};
    };

    QString hostProgram;
    qsizetype rest = -1;
    if (line[0] == u'"') {
        const qsizetype close = line.indexOf(u'"', 1);
        hostProgram = findProgram(line.mid(1, close < 0 ? -1 : close - 1));
        rest = close < 0 ? line.size() : close + 1;
    } else {
        // Successively longer blank-separated prefixes, as Windows tries them.
        for (qsizetype end = 0; end <= line.size(); ++end) {
            if (end < line.size() && !(isBlank(line[end]) && !isBlank(line[end - 1])))
                continue;
            hostProgram = findProgram(line.left(end));
            if (!hostProgram.isEmpty()) {
                rest = end;
                break;
            }
        }
    }
    if (hostProgram.isEmpty())
        return std::nullopt;

    QStringList arguments;
    appendArguments(line, rest, arguments);
    for (QString& argument : arguments) {
        if (isDrivePath(argument)) {
            if (const QString host = m_machine.toHost(argument); !host.isEmpty())
                argument = host;
        }
    }

    const QString suffix = QFileInfo(hostProgram).suffix().toLower();
    if (suffix == QLatin1String("bat") || suffix == QLatin1String("cmd"))
        return HostCommand{QStringLiteral("/bin/sh"), QStringList{hostProgram} + arguments};
    if (access(QFile::encodeName(hostProgram).constData(), X_OK) == 0)
        return HostCommand{hostProgram, arguments};
    return runThroughInterpreter(hostProgram, arguments);
}

std::unique_ptr<ChildProcess> Processes::start(const QString& commandLine, WindowMode mode) const {
    (void)mode;
    const std::optional<HostCommand> command = resolve(commandLine);
    if (!command)
        return nullptr;
    const pid_t pid = spawnChild(*command, ChildEnvironment(&m_machine, commandLine));
    return pid > 0 ? std::make_unique<ChildProcess>(pid) : nullptr;
}

bool Processes::startDetached(const QString& commandLine, WindowMode mode) const {
    (void)mode;
    const std::optional<HostCommand> command = resolve(commandLine);
    return command && spawnDetached(*command, ChildEnvironment(&m_machine, commandLine));
}

QStringList Processes::runningExecutableNames() const {
    QStringList names;
    DIR* proc = opendir("/proc");
    if (proc == nullptr)
        return names;
    const QString systemRoot = readMachineConfig(QLatin1String(Machine::SystemConfigFile));
    while (const dirent* entry = readdir(proc)) {
        const QByteArray pid(entry->d_name);
        if (pid.isEmpty() ||
            !std::all_of(pid.cbegin(), pid.cend(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        if (const QString name = executableName(pid);
            !name.isEmpty() && onMachine(pid, m_machine, systemRoot))
            names.append(name);
    }
    closedir(proc);
    return names;
}

bool startDetachedHost(const QString& program, const QStringList& arguments) {
    const QString path = program.contains(u'/') ? program : QStandardPaths::findExecutable(program);
    return !path.isEmpty() &&
           spawnDetached(HostCommand{path, arguments}, ChildEnvironment(nullptr, std::nullopt));
}

} // namespace marvek::platform
