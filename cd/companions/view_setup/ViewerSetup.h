#pragma once

#include "shared/Context.h"

#include <QString>
#include <QStringList>

namespace marvek::companions {

// The viewer package: installs the browser (the files named by payload, which lie beside the package)
// into the viewer folder, records the folder and leaves setup.log there. The same program serves
// `setup` (programs\View\setup.exe, " /VERYSILENT /SP-") and the browser installer, which runs it as
// "PG002.exe" or, on a Japanese system, "PG002JP.exe" with "/SP- /VERYSILENT /NOCANCEL /NORESTART".
// The folder is the recorded one, else DefaultViewerDir, Japanese when the package runs as
// "PG002JP.exe", not Japanese as "PG002.exe", and under any other name when LanguageCode is "11".
int ViewerSetup(shared::SharedContext& ctx, const QString& packageName, const QStringList& payload,
                const QStringList& arguments);

// Whether the package installs into the Japanese default folder.
bool IsJapanesePackage(const shared::SharedContext& ctx, const QString& packageName);

} // namespace marvek::companions
