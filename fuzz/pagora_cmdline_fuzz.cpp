// The browser's command line: the program name cut off as Windows programs do, then the split into
// the four fields.
#include "browser/app/CommandRequest.h"
#include "platform/CommandLine.h"

#include <QStringList>
#include <cstdint>
#include <cstdlib>

using namespace marvek;

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString commandLine =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    // The arguments are the end of the line as written, without leading blanks.
    const QString arguments = platform::commandLineArguments(commandLine);
    check(commandLine.endsWith(arguments));
    check(arguments.isEmpty() || !isBlank(arguments.front()));
    // An unquoted program name has no blank; a quoted one ends at its closing quote.
    const QString program = commandLine.left(commandLine.size() - arguments.size()).trimmed();
    if (!commandLine.startsWith(u'"'))
        check(!program.contains(u' ') && !program.contains(u'\t'));
    else
        check(program.indexOf(u'"', 1) < 0 || program.indexOf(u'"', 1) == program.size() - 1);

    const browser::CommandRequest request = browser::splitCommandRequest(arguments);
    const QStringList fields = arguments.split(u';');
    check(!request.url.contains(u'"'));
    check(request.url == QString(fields.value(0)).remove(u'"'));
    check(request.tbrUnVisi == (fields.value(1) == u"1"));
    check(request.unVisi == (fields.value(2) == u"1"));
    check(request.pubNo == (fields.value(3) == u"1"));
    return 0;
}
