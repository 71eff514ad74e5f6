#pragma once

#include "shared/Context.h"

#include <QString>

namespace marvek::companions {

// The exit codes of ManualLink.exe.
enum class ManualLinkResult {
    Opened = 0,
    BadInput = 1,      // no publication number, or not one
    NotInstalled = 2,  // the database has no such manual
    DatabaseError = 3, // the database beside the program is missing or cannot be read
    FilesMissing = 4,  // the manual's page is not where the database says
    NoBrowser = 5,     // neither Pagora nor the system web browser could be started
};

// The file name of the manual database beside ManualLink.exe.
inline constexpr auto ManualLinkDatabaseName = "ManualLink.mdb";

// A publication number as the program accepts it: 1 to 32 letters, digits, "-" or "_" (nothing that
// could leave a folder or a statement).
bool IsPublicationNumber(const QString& text);

// ManualLink.exe <Pub_No>: how a diagnostic tool asks for a manual. Finds the installed manual in the
// database beside the program (ctx.ProgramFolder), and opens its page (index.html, or for a PDF manual
// contents\<Pub_No>.pdf) in Pagora of the recorded viewer folder, started without waiting with the
// command line: browser path, a blank, page path; without Pagora in the system web browser. Any failure
// shows one box (OK, exclamation, titled "ManualLink") and gives its exit code.
ManualLinkResult OpenInstalledManual(shared::SharedContext& ctx, const QString& commandLine);

} // namespace marvek::companions
