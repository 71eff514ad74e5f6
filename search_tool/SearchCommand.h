#pragma once

#include "platform/Platform.h"

#include <QStringList>
#include <QTextStream>

namespace marvek::searchtool {

// Exit codes of marvek-search.
enum SearchExit {
    Found = 0,    // at least one page found
    NotFound = 1, // no page found
    Usage = 2,    // the command line is wrong (usage on standard error)
    NoIndex = 3,  // no installed-manual database, or the index cannot be used
};

// marvek-search search [--limit N] <words...>: indexes the manuals that are not indexed yet (progress on
// standard error), then prints one line per hit: publication number, page path, title, tab-separated.
// --help prints the usage on standard output and returns 0.
int RunSearchCommand(platform::Platform& os, const QStringList& arguments, QTextStream& out,
                     QTextStream& err);

} // namespace marvek::searchtool
