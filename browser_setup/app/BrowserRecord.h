#pragma once

#include "browser_setup/app/PagosetContext.h"
#include "shared/config/RegistryKeys.h"

#include <QString>
#include <QtGlobal>

namespace marvek::browser_setup {

using shared::InstallDirValue;
using shared::ManualLinkKey;
using shared::ViewerKey;
inline constexpr auto BrowserProgram = "Pagora.exe";
inline constexpr auto BrowserVersionFile = "Pagora.fdf";
// The Japanese browser folder, and the one under the program-files folder for other languages.
inline constexpr auto JapaneseBrowserFolder = "C:\\Program Files\\Marvek\\Scanlux\\View";
inline constexpr auto BrowserSubFolder = "Marvek\\Scanlux\\View";
inline constexpr auto ProgramFilesVariable = "programfiles";
// The title of the box of a version file that cannot be written.
inline constexpr auto FdfFailureTitle = "setup";

// Where the package installs the browser: the fixed Japanese folder, else the machine's environment
// variable "programfiles" & "\Marvek\Scanlux\View".
QString BrowserFolder(const PagosetContext& ctx, bool japanese);

// The version text of a program file (Windows path): major "." minor "." revision of its file version,
// each as a signed 16-bit number (1.1.0.2 gives "1.1.2"); empty for a file without one.
QString GFncVer_Get(const PagosetContext& ctx, const QString& path);

// Writes "Pagora.fdf" at path with "Ver " & version, or version itself when it is "Not Installed"
// (compared without regard to case). A failure shows its description and number (exclamation, titled
// "setup") and gives false.
bool GFncFdf_Write(const PagosetContext& ctx, const QString& path, const QString& version);

// A registry string under root (only the local machine holds values): empty when the key or value is
// missing or does not fit 256 characters.
QString GFncReg_Get(const PagosetContext& ctx, quint32 root, const QString& key, const QString& valueName);
// Creates the key when missing and stores the string; false on any failure, without a message.
bool GFncReg_Set(const PagosetContext& ctx, quint32 root, const QString& key, const QString& valueName,
                 const QString& text);

} // namespace marvek::browser_setup
