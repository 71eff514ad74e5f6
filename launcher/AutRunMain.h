#pragma once

#include "shared/Context.h"

#include <QString>
#include <functional>

namespace marvek::launcher {

// The launcher's own name: the title of its boxes and the name of its previous-instance lock.
inline constexpr auto ProgramName = "Cdlaunch";
// The manual browser, looked for at this fixed place only.
inline constexpr auto PagoraPath = "c:\\Program Files\\Marvek\\Scanlux\\View\\Pagora.exe";
inline constexpr auto StartPageName = "index.html";

// What the start sequence did; the program ends after each of them.
enum class LaunchOutcome {
    PreviousInstance, // another launcher runs
    NoStartPage,      // the drive of the program's folder has no index.html
    EndedByCheck,     // the latest-CD check ended the program ("C:\man_info" could not be made)
    Declined,         // the CD is not the latest and the user answered No
    Opened,           // the browser was started on the start page
    OpenFailed,       // the browser could not be started
};

// The drive of a Windows path as the file-system object names it: "D:" for "D:\programs\x"; empty
// for a path without a drive letter.
QString GetDriveName(const QString& path);

// The browser's command line: the program, one blank, the page; neither is quoted.
QString BrowserCommandLine(const QString& browserPath, const QString& pagePath);

// The launcher's program-wide values (set once by the start sequence) and its shared context.
class LauncherContext {
public:
    // programFolder: Windows path of the folder of the running launcher.
    LauncherContext(platform::Platform& platform, const QString& programFolder);
    LauncherContext(const LauncherContext&) = delete;
    LauncherContext& operator=(const LauncherContext&) = delete;

    shared::SharedContext shared;

    // PagoraPath when that file exists; empty: the system web browser shows the page.
    QString BrowserPath;
    QString StartPage; // drive of the program folder & "\index.html"
    QString CdRoot;    // drive of the program folder & "\"
    QString LanguageId;

    // Starts a program by its command line in a normal window without waiting; false when it cannot
    // be started. The processes of the platform by default.
    std::function<bool(const QString& commandLine)> startProgram;
};

// The start sequence of modAutRunMain: previous instance, browser, start page, latest-CD check, the
// browser on the start page. previousInstance: the program's instance lock found another launcher.
LaunchOutcome RunStartSequence(LauncherContext& ctx, bool previousInstance);

} // namespace marvek::launcher
