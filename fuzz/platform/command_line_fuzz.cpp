// The command-line splitter on any text (UTF-8). Checked against the quoting that CommandLineToArgvW
// undoes: quoting the arguments it gives and splitting again gives them back, and a list of arguments
// made from the input (separated by NUL) survives quoting and splitting.

#include "fuzz/FuzzCheck.h"
#include "platform/Processes.h"

#include <QStringList>
#include <cstddef>
#include <cstdint>

using marvek::platform::splitWindowsCommandLine;

namespace {

// An argument after the program name, quoted so that the splitter gives it back: as it stands when it
// is not empty and holds no blank or quote; otherwise in quotes, with the backslashes before a quote (or
// before the closing quote) doubled and each quote escaped.
QString quoteArgument(const QString& argument) {
    if (!argument.isEmpty() && !argument.contains(u' ') && !argument.contains(u'\t') &&
        !argument.contains(u'"'))
        return argument;
    QString quoted(1, u'"');
    qsizetype backslashes = 0;
    for (const QChar c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        if (c == u'"')
            quoted += QString(backslashes * 2 + 1, u'\\');
        else
            quoted += QString(backslashes, u'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted += QString(backslashes * 2, u'\\');
    return quoted + u'"';
}

// The program name: in quotes (it runs to the next quote) unless it holds a quote itself, which only an
// unquoted name without blanks can.
QString quoteProgram(const QString& program) {
    return program.contains(u'"') ? program : u'"' + program + u'"';
}

QString join(const QStringList& arguments) {
    QString line = quoteProgram(arguments.front());
    for (qsizetype i = 1; i < arguments.size(); ++i)
        line += u' ' + quoteArgument(arguments[i]);
    return line;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = marvek::fuzz::bytes(data, size);
    const QString line = QString::fromUtf8(bytes);

    const QStringList split = splitWindowsCommandLine(line);
    MARVEK_FUZZ_CHECK(line.isEmpty() == split.isEmpty());
    if (!split.isEmpty()) {
        const QString& program = split.front();
        MARVEK_FUZZ_CHECK(!program.contains(u'"') || !(program.contains(u' ') || program.contains(u'\t')));
        for (qsizetype i = 1; i < split.size(); ++i)
            MARVEK_FUZZ_CHECK(line.size() >= split[i].size());
        MARVEK_FUZZ_CHECK(splitWindowsCommandLine(join(split)) == split);
    }

    // Arguments of the caller's choice, made into a command line and split again.
    QStringList arguments = QString::fromUtf8(bytes).split(QChar(0));
    arguments.prepend(QStringLiteral("C:\\Program Files\\Marvek\\Pagora.exe"));
    MARVEK_FUZZ_CHECK(splitWindowsCommandLine(join(arguments)) == arguments);
    return 0;
}
