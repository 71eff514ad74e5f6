#include "shared/config/Language.h"

namespace marvek::shared {

QString GetLanguageId(const SharedContext& ctx) {
    const quint16 id = ctx.os.machineInfo().userDefaultLangId();
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0')).left(4).toUpper();
}

QString GetLanguageCode(const SharedContext& ctx) {
    return MapLanguageCode(GetLanguageId(ctx));
}

QString MapLanguageCode(const QString& languageId) {
    const QString id = languageId.toUpper();
    if (id == QLatin1String("0804") || id == QLatin1String("1004"))
        return QStringLiteral("04S");
    if (id == QLatin1String("0404") || id == QLatin1String("0C04"))
        return QStringLiteral("04T");
    return id.mid(2, 2);
}

} // namespace marvek::shared
