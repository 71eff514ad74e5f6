#include "shared/forms/LanguageFont.h"

#include <QFontDatabase>
#include <QWidget>

namespace marvek::shared {

namespace {

bool isJapanese(const QString& languageCode) {
    return languageCode == QLatin1String("11");
}

// Families that write Japanese, best first, for a machine without the named one.
constexpr const char* JapaneseFallbacks[] = {
    "Noto Sans CJK JP", "Noto Sans JP", "Source Han Sans JP",  "IPAPGothic",       "IPAexGothic",
    "TakaoPGothic",     "VL PGothic",   "Droid Sans Japanese", "Noto Sans CJK SC",
};

QString installedJapaneseFamily() {
    const QString named = QString::fromUtf8(reinterpret_cast<const char*>(JapaneseFontName));
    if (QFontDatabase::hasFamily(named))
        return named;
    for (const char* candidate : JapaneseFallbacks) {
        const QString family = QLatin1String(candidate);
        if (QFontDatabase::hasFamily(family))
            return family;
    }
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    return japanese.isEmpty() ? named : japanese.first();
}

} // namespace

QString LanguageFontName(const QString& languageCode) {
    return isJapanese(languageCode) ? QString::fromUtf8(reinterpret_cast<const char*>(JapaneseFontName))
                                    : QLatin1String(WesternFontName);
}

QString ResolvedFontFamily(const QString& languageCode) {
    return isJapanese(languageCode) ? installedJapaneseFamily() : QLatin1String(WesternFontName);
}

QFont LanguageFont(const QString& languageCode, int pointSize) {
    QFont font(ResolvedFontFamily(languageCode));
    font.setPointSize(pointSize);
    return font;
}

void ApplyLanguageFont(QWidget& widget, const QString& languageCode, int pointSize) {
    QFont font = LanguageFont(languageCode, pointSize);
    font.setBold(widget.font().bold());
    widget.setFont(font);
}

} // namespace marvek::shared
