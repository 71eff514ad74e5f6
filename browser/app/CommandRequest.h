#pragma once

#include <QString>

namespace marvek::browser {

// One request of the command line (or of a forwarded command line), as GFncCmd_Parse splits it.
struct CommandRequest {
    QString url;            // field 1, every double quote removed
    bool tbrUnVisi = false; // field 2 is exactly "1"
    bool unVisi = false;    // field 3 is exactly "1"
    bool pubNo = false;     // field 4 is exactly "1"
};

// Splits a command line at ";" into the four fields (missing ones count as not set; fields after the
// fourth are ignored). Whether field 1 names a file is GFncCmd_Parse's check.
CommandRequest splitCommandRequest(const QString& commandLine);

} // namespace marvek::browser
