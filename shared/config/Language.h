#pragma once

#include "shared/Context.h"

#include <QString>

namespace marvek::shared {

// The user-default locale's language identifier as four upper-case hexadecimal digits ("0411").
QString GetLanguageId(const SharedContext& ctx);
// MapLanguageCode of GetLanguageId: the LanguageCode of the current user.
QString GetLanguageCode(const SharedContext& ctx);
// "0804" and "1004" give "04S", "0404" and "0C04" give "04T", any other identifier its third and fourth
// characters ("0409" -> "09", "0411" -> "11", "1404" -> "04").
QString MapLanguageCode(const QString& languageId);

} // namespace marvek::shared
