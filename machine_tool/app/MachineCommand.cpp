#include "machine_tool/app/MachineCommand.h"

#include "platform/MachineInfo.h"

namespace marvek::machine_tool {

namespace {

struct CommandName {
    const char* name;
    CommandKind kind;
    int operands;
};

constexpr CommandName Commands[] = {
    {"help", CommandKind::Help, 0},
    {"show", CommandKind::Show, 0},
    {"create", CommandKind::Create, 0},
    {"map", CommandKind::Map, 2},
    {"unmap", CommandKind::Unmap, 1},
    {"locale", CommandKind::Locale, 1},
    {"register-diagnostic", CommandKind::RegisterDiagnostic, 1},
    {"run", CommandKind::Run, 1},
};

ParsedCommand usageError(const QString& text) {
    return {std::nullopt, text};
}

bool isHelp(const QString& argument) {
    return argument == u"--help" || argument == u"-h";
}

// "d:", "D:" or "d".
std::optional<QChar> driveLetter(const QString& text) {
    const QString letter = text.endsWith(u':') ? text.chopped(1) : text;
    if (letter.size() != 1 || letter[0].unicode() >= 0x80)
        return std::nullopt;
    const QChar c = letter[0].toLower();
    if (c < u'a' || c > u'z')
        return std::nullopt;
    return c;
}

} // namespace

QString machineToolUsage() {
    return QStringLiteral(
        "Usage: marvek-machine [--root <folder>] <command> [arguments]\n"
        "\n"
        "The machine prefix a Windows PC stands for on this computer (default: $MARVEK_ROOT, else the\n"
        "machine named in /etc/marvek/machine.conf, else $XDG_DATA_HOME/marvek, else\n"
        "~/.local/share/marvek).\n"
        "\n"
        "Commands:\n"
        "  show                          the prefix: where it is, locale, drives, the suite's registry\n"
        "                                keys under SOFTWARE\\MARVEK and the installed manuals\n"
        "  create                        make the prefix, or add what it lacks (never changes what is "
        "there)\n"
        "  map <letter>: <folder>        give an existing folder (a mounted CD) a drive letter\n"
        "  unmap <letter>:               take a drive letter away (the folder stays)\n"
        "  locale <id or name>           the Windows locale, e.g. 0411 or ja_JP (code page follows)\n"
        "  register-diagnostic <folder>  record an existing folder as the diagnostic software's\n"
        "                                (SOFTWARE\\MARVEK\\Scanlux ProgramPath), for a demonstration PC\n"
        "  run [--folder <folder>] [--no-wait] \"<Windows command line>\"\n"
        "                                start a program as Windows would, in a working folder (a Windows\n"
        "                                path); waits and exits with its exit code, or with --no-wait\n"
        "                                exits 0 once it runs; a document opens with its application\n"
        "\n"
        "Every command but create needs an existing prefix, and completes it first as a program of the\n"
        "suite does (show only reads).\n"
        "Exit status: 0 done, 1 failed (the reason on standard error), 2 wrong usage.\n");
}

ParsedCommand parseMachineCommand(const QStringList& arguments) {
    MachineCommand command;
    qsizetype i = 0;
    // Options before the command.
    for (; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (isHelp(argument))
            return {command, {}};
        if (argument == u"--root") {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
                return usageError(QStringLiteral("--root needs a folder"));
            command.root = arguments[++i];
        } else if (argument.startsWith(QStringLiteral("--root="))) {
            command.root = argument.mid(7);
            if (command.root.isEmpty())
                return usageError(QStringLiteral("--root needs a folder"));
        } else if (argument.startsWith(u'-')) {
            return usageError(QStringLiteral("unknown option '%1'").arg(argument));
        } else {
            break;
        }
    }
    if (i >= arguments.size())
        return usageError(QStringLiteral("no command given"));

    const QString name = arguments[i++];
    const CommandName* found = nullptr;
    for (const CommandName& entry : Commands) {
        if (name == QLatin1String(entry.name))
            found = &entry;
    }
    if (!found)
        return usageError(QStringLiteral("unknown command '%1'").arg(name));
    command.kind = found->kind;

    // The command's own options (run's), then its operands.
    QStringList operands;
    bool optionsEnd = false;
    for (; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!optionsEnd && isHelp(argument)) {
            MachineCommand help;
            help.root = command.root;
            return {help, {}};
        }
        if (!optionsEnd && command.kind == CommandKind::Run && argument == u"--folder") {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
                return usageError(QStringLiteral("--folder needs a Windows folder"));
            command.folder = arguments[++i];
        } else if (!optionsEnd && command.kind == CommandKind::Run && argument == u"--no-wait") {
            command.wait = false;
        } else if (!optionsEnd && argument == u"--") {
            optionsEnd = true;
        } else if (!optionsEnd && argument.startsWith(u'-') && argument.size() > 1) {
            return usageError(QStringLiteral("unknown option '%1' of %2").arg(argument, name));
        } else {
            operands << argument;
        }
    }
    if (operands.size() != found->operands) {
        if (command.kind == CommandKind::Run)
            return usageError(
                QStringLiteral("run takes the Windows command line as one argument (quote it)"));
        return usageError(QStringLiteral("%1 takes %2 argument(s), %3 given")
                              .arg(name)
                              .arg(found->operands)
                              .arg(operands.size()));
    }

    switch (command.kind) {
    case CommandKind::Map:
    case CommandKind::Unmap: {
        const std::optional<QChar> letter = driveLetter(operands[0]);
        if (!letter)
            return usageError(QStringLiteral("unknown drive letter '%1' (A: to Z:)").arg(operands[0]));
        if (*letter == u'c')
            return usageError(QStringLiteral("C: is the system drive of the machine; it cannot be %1")
                                  .arg(command.kind == CommandKind::Map ? QStringLiteral("mapped elsewhere")
                                                                        : QStringLiteral("unmapped")));
        command.drive = *letter;
        if (command.kind == CommandKind::Map) {
            command.folder = operands[1];
            if (command.folder.isEmpty())
                return usageError(QStringLiteral("map needs a folder"));
        }
        break;
    }
    case CommandKind::Locale: {
        const std::optional<quint16> id = platform::MachineInfo::knownLangId(operands[0]);
        if (!id)
            return usageError(
                QStringLiteral(
                    "unknown locale '%1' (a language identifier such as 0411, or a name such as ja_JP)")
                    .arg(operands[0]));
        command.langId = *id;
        break;
    }
    case CommandKind::RegisterDiagnostic:
        command.folder = operands[0];
        if (command.folder.isEmpty())
            return usageError(QStringLiteral("register-diagnostic needs a folder"));
        break;
    case CommandKind::Run:
        command.commandLine = operands[0];
        if (command.commandLine.trimmed().isEmpty())
            return usageError(QStringLiteral("run needs a Windows command line"));
        break;
    case CommandKind::Help:
    case CommandKind::Show:
    case CommandKind::Create:
        break;
    }
    return {command, {}};
}

QStringList machineCommandArguments(const MachineCommand& command) {
    QStringList arguments;
    if (!command.root.isEmpty())
        arguments << QStringLiteral("--root") << command.root;
    switch (command.kind) {
    case CommandKind::Help:
        arguments << QStringLiteral("--help");
        break;
    case CommandKind::Show:
        arguments << QStringLiteral("show");
        break;
    case CommandKind::Create:
        arguments << QStringLiteral("create");
        break;
    case CommandKind::Map:
        arguments << QStringLiteral("map") << QString(command.drive) + u':' << QStringLiteral("--")
                  << command.folder;
        break;
    case CommandKind::Unmap:
        arguments << QStringLiteral("unmap") << QString(command.drive) + u':';
        break;
    case CommandKind::Locale:
        arguments << QStringLiteral("locale")
                  << QStringLiteral("%1").arg(command.langId, 4, 16, QLatin1Char('0'));
        break;
    case CommandKind::RegisterDiagnostic:
        arguments << QStringLiteral("register-diagnostic") << QStringLiteral("--") << command.folder;
        break;
    case CommandKind::Run:
        arguments << QStringLiteral("run");
        if (!command.folder.isEmpty())
            arguments << QStringLiteral("--folder") << command.folder;
        if (!command.wait)
            arguments << QStringLiteral("--no-wait");
        arguments << QStringLiteral("--") << command.commandLine;
        break;
    }
    return arguments;
}

} // namespace marvek::machine_tool
