#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

namespace marvek::machine_tool {

enum class CommandKind { Help, Show, Create, Map, Unmap, Locale, RegisterDiagnostic, Run };

// One invocation of marvek-machine, as its arguments give it (nothing checked against the machine yet).
struct MachineCommand {
    CommandKind kind = CommandKind::Help;
    QString root;        // --root; empty: the default prefix (MARVEK_ROOT, ...)
    QChar drive;         // map, unmap: the letter, lower case
    QString folder;      // map, register-diagnostic: the folder given; run: --folder (a Windows path)
    quint16 langId = 0;  // locale
    QString commandLine; // run: the Windows command line
    bool wait = true;    // run: false with --no-wait

    bool operator==(const MachineCommand&) const = default;
};

struct ParsedCommand {
    std::optional<MachineCommand> command;
    QString error; // a usage error when there is no command
};

// The arguments after the program name:
//   [--root <folder>] <command> [arguments]      --help (or -h, or "help") anywhere before a run's
//   show | create | map <letter>: <folder> | unmap <letter>: | locale <id or name> |
//   register-diagnostic <folder> | run [--folder <Windows folder>] [--no-wait] [--] <Windows command line>
// A drive letter is one of A to Z with or without its colon (C: cannot be mapped or unmapped); a locale
// is a language identifier or locale name MachineInfo knows. Every refusal is a usage error.
ParsedCommand parseMachineCommand(const QStringList& arguments);
// Arguments that parse back to the command.
QStringList machineCommandArguments(const MachineCommand& command);

QString machineToolUsage();

} // namespace marvek::machine_tool
