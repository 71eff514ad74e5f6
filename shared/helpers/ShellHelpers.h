#pragma once

#include "shared/Context.h"

#include <QString>
#include <QtGlobal>

namespace marvek::shared {

// Registry string under a hive, read into a 256-character buffer; empty for a missing key or value and
// for a value that does not fit.
QString RegReadString(const SharedContext& ctx, quint32 hive, const QString& subKey,
                      const QString& valueName);

// Path of a shell special folder (2: the user's Start menu programs, 25: the common desktop); empty
// when the folder has none.
QString GetSpecialFolderPath(const SharedContext& ctx, int folderId);

// The description of one shortcut; empty texts and a zero WindowStyle are not set on it.
struct ShortcutSpec {
    QString TargetPath;
    QString Arguments;
    QString WorkingDirectory;
    QString Description;
    QString IconLocation;
    QString Hotkey;
    qint16 WindowStyle = 0; // 1 = normal window
};

// Creates the shortcut file linkPath (Windows path); false on any error.
bool CreateShortcut(const SharedContext& ctx, const QString& linkPath, const ShortcutSpec& spec);

// The shortcut caption + ".lnk" in a special folder to a program (working folder "C:\", normal window);
// nothing when the folder has no path or the shortcut is already there.
void CreateProgramShortcut(const SharedContext& ctx, int folderId, const QString& caption,
                           const QString& target);

// The folder picker through the UI seam, with initialFolder pre-selected; the chosen folder, or
// initialFolder unchanged when the user cancels.
QString BrowseForFolder(const SharedContext& ctx, const QString& title, const QString& initialFolder);

// The file version of a program file (Windows path) in its four 16-bit parts. False, with the outputs
// left untouched, for a file without version information.
bool GetFileVersion(const SharedContext& ctx, const QString& path, int& major, int& minor, int& build,
                    int& revision);

// Result of FindOrOpenBrowserWindow.
inline constexpr qint16 BrowserWindowFound = 1;
inline constexpr qint16 BrowserWindowOpened = 0;
inline constexpr qint16 BrowserWindowFailed = -1;

// Shows a page (Windows path or URL) in the system web browser. Open browser windows of another
// program cannot be looked for here, so the page always goes to the browser, which reuses its own
// window or tab: BrowserWindowOpened, or BrowserWindowFailed when no browser could be started.
qint16 FindOrOpenBrowserWindow(const SharedContext& ctx, const QString& pagePath);

// The logon name of the current user (255 characters at most, cut at the first NUL).
QString GetLoginUserName(const SharedContext& ctx);

} // namespace marvek::shared
