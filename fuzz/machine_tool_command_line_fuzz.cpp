// marvek-machine's arguments (the input split at NUL bytes): the parser gives a command or a usage error
// with a reason, never both; a command holds only what the tool can act on (a drive letter other than
// C:, a known locale, a command line to run) and its arguments written back parse to the same command.
#include "fuzz/FuzzCheck.h"
#include "machine_tool/app/MachineCommand.h"
#include "platform/MachineInfo.h"

#include <QStringList>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace marvek::machine_tool;
    QStringList arguments;
    for (const QByteArray& part : marvek::fuzz::bytes(data, size).split('\0'))
        arguments << QString::fromUtf8(part);
    if (size == 0)
        arguments.clear();

    const ParsedCommand parsed = parseMachineCommand(arguments);
    MARVEK_FUZZ_CHECK(parsed.command.has_value() != !parsed.error.isEmpty());
    if (!parsed.command)
        return 0;
    const MachineCommand& command = *parsed.command;
    switch (command.kind) {
    case CommandKind::Map:
        MARVEK_FUZZ_CHECK(!command.folder.isEmpty());
        [[fallthrough]];
    case CommandKind::Unmap:
        MARVEK_FUZZ_CHECK(command.drive >= u'a' && command.drive <= u'z' && command.drive != u'c');
        break;
    case CommandKind::Locale:
        MARVEK_FUZZ_CHECK(!marvek::platform::MachineInfo::localeName(command.langId).isEmpty());
        break;
    case CommandKind::Run:
        MARVEK_FUZZ_CHECK(!command.commandLine.trimmed().isEmpty());
        break;
    case CommandKind::RegisterDiagnostic:
        MARVEK_FUZZ_CHECK(!command.folder.isEmpty());
        break;
    case CommandKind::Help:
    case CommandKind::Show:
    case CommandKind::Create:
        break;
    }
    const ParsedCommand again = parseMachineCommand(machineCommandArguments(command));
    MARVEK_FUZZ_CHECK(again.command && *again.command == command);
    return 0;
}
