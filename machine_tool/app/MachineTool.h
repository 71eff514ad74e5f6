#pragma once

#include "machine_tool/app/MachineCommand.h"
#include "platform/Machine.h"

#include <QTextStream>

namespace marvek::machine_tool {

inline constexpr int ExitOk = 0;
inline constexpr int ExitFailed = 1;
inline constexpr int ExitUsage = 2;

// Carries out a command on its machine prefix; plain text on out, the reason of a failure on err. The
// exit status: ExitOk, ExitFailed (nothing changed when the input was refused), or for run the program's
// own exit code. Input that names something missing (a folder, a drive, a prefix) is refused before
// anything is changed. Without --root the machine is chosen as the programs choose it, with the system
// configuration file given (tests give their own).
int runMachineCommand(const MachineCommand& command, QTextStream& out, QTextStream& err,
                      const QString& systemConfig = QLatin1String(platform::Machine::SystemConfigFile));

// The whole program over its arguments (without the program name): parse, then run.
int machineToolMain(const QStringList& arguments, QTextStream& out, QTextStream& err);

} // namespace marvek::machine_tool
