#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace marvek::platform {

class Machine;

// A program of this suite reads its command line as Windows hands it over: the whole text as the
// caller wrote it. The process starter (Processes::start, startDetached) passes that text to the child
// in this environment variable, beside the host arguments it split from it.
inline constexpr char CommandLineVariable[] = "MARVEK_COMMAND_LINE";

// The text the process starter handed over, if this process was started through it.
std::optional<QString> handedOverCommandLine();

// The process's command line (GetCommandLine): the text handed over, else (a start from a Linux
// shell) the arguments (argv, program first) joined with one blank, where an argument that is a host
// path turns back into Windows path text and a program path with a blank is quoted.
QString GetCommandLine(const QStringList& arguments, const Machine& machine);

// The command line without the program name: a quoted program name runs to its closing quote, an
// unquoted one to the first blank (space or tab); the blanks after it are skipped, the rest is kept
// exactly as written.
QString commandLineArguments(const QString& commandLine);

// The same, with an unquoted program path resolved as Windows resolves it when it starts the program:
// the shortest blank-separated beginning that names an existing file of the machine (as written, or with
// ".exe" added to a name without extension) is the program, so "C:\Program Files\V\Pagora.exe C:\My
// Manuals\index.html" gives the whole page path. Without such a beginning the first blank ends it.
QString commandLineArguments(const QString& commandLine, const Machine& machine);

} // namespace marvek::platform
