#pragma once

#include "shared/config/RegistryKeys.h"

#include <QString>

namespace marvek::platform {
class Platform;
}

namespace marvek::browser {

// Where the publication number comes from: the manual-link folder named in the registry.
inline constexpr auto kManualLinkKey = shared::ManualLinkKey;
inline constexpr auto kManualLinkValue = shared::InstallDirValue;
inline constexpr auto kPubNoFileName = "marvek.ci";

struct PubNoResult {
    QString pubNo;   // the rest of the first "D=" line, or empty
    QString failure; // set when the file was there but could not be read
    int failureNumber = 0;
};

// Reads "marvek.ci" in the manual-link folder, as text in the system code page, line by line; the
// first line whose first two characters are "D=" (any case) gives the number. No file or no such
// line: empty, without failure.
PubNoResult readPubNo(const platform::Platform& os);

} // namespace marvek::browser
