// marvek-search: search across the installed manuals from a shell, for scripts and support.

#include "search_tool/SearchCommand.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    QTextStream out(stdout);
    QTextStream err(stderr);
    const auto os = marvek::platform::Platform::fromEnvironment();
    if (!os)
        return 1;
    const int code = marvek::searchtool::RunSearchCommand(*os, arguments, out, err);
    out.flush();
    err.flush();
    return code;
}
