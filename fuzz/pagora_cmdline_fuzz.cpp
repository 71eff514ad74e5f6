// The browser's command line: the program name cut off as Windows programs do, then the split into
// the four fields.
#include "browser/app/CommandRequest.h"
#include "fuzz/FuzzCheck.h"
#include "platform/CommandLine.h"

#include <QStringList>

using namespace marvek;

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString commandLine = fuzz::utf8(data, size);

    // The arguments are the end of the line as written, without leading blanks.
    const QString arguments = platform::commandLineArguments(commandLine);
    MARVEK_FUZZ_CHECK(commandLine.endsWith(arguments));
    MARVEK_FUZZ_CHECK(arguments.isEmpty() || !isBlank(arguments.front()));
    // An unquoted program name has no blank; a quoted one ends at its closing quote.
    const QString program = commandLine.left(commandLine.size() - arguments.size()).trimmed();
    if (!commandLine.startsWith(u'"'))
        MARVEK_FUZZ_CHECK(!program.contains(u' ') && !program.contains(u'\t'));
    else
        MARVEK_FUZZ_CHECK(program.indexOf(u'"', 1) < 0 || program.indexOf(u'"', 1) == program.size() - 1);

    const browser::CommandRequest request = browser::splitCommandRequest(arguments);
    const QStringList fields = arguments.split(u';');
    MARVEK_FUZZ_CHECK(!request.url.contains(u'"'));
    MARVEK_FUZZ_CHECK(request.url == QString(fields.value(0)).remove(u'"'));
    MARVEK_FUZZ_CHECK(request.tbrUnVisi == (fields.value(1) == u"1"));
    MARVEK_FUZZ_CHECK(request.unVisi == (fields.value(2) == u"1"));
    MARVEK_FUZZ_CHECK(request.pubNo == (fields.value(3) == u"1"));
    return 0;
}
