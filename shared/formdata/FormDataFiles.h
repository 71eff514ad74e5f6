#pragma once

#include "shared/Context.h"

#include <QByteArray>
#include <QString>

namespace marvek::shared {

inline constexpr auto ManagerFormDataFileName = "mandex.fdf";
inline constexpr auto BrowserNotInstalled = "Not Installed";

// The text of "mandex.fdf" for a version and the manager document's name (message M060), every line
// ended by CR LF.
QString ManagerFormDataText(const QString& version, const QString& documentName);
// The text of "Pagora.fdf" with the placeholder "P_XXX" replaced (without regard to case) by value.
QString BrowserFormDataText(const QString& value);

// Writes ManualLinkDir\mandex.fdf in the ANSI code page (an existing file is deleted first, even when
// read-only) and grants the users group full access to it. True only when both succeeded.
bool WriteManagerVersionFile(const SharedContext& ctx, const QString& version);

// The browser setup's writer: creates or truncates the file (Windows path) and writes "Pagora.fdf" with
// value ("Ver 1.1.2" or "Not Installed") in the ANSI code page. True when written.
bool WriteBrowserVersionFile(const platform::Platform& os, const QString& path, const QString& value);
bool WriteBrowserVersionFile(const SharedContext& ctx, const QString& path, const QString& value);

} // namespace marvek::shared
