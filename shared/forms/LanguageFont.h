#pragma once

#include <QFont>
#include <QString>

class QWidget;

namespace marvek::shared {

// The font names the screens ask for: the Japanese one when LanguageCode is "11", else the Western one.
inline constexpr auto JapaneseFontName = u8"MS Pゴシック";
inline constexpr auto WesternFontName = "Arial";

// The family a screen of the language asks for ("MS Pゴシック" or "Arial").
QString LanguageFontName(const QString& languageCode);

// The family that is used: the named family when it is installed. A missing Japanese family is
// replaced by an installed font that writes Japanese ("Noto Sans CJK JP" first, then other well-known
// Japanese families, then any family the font database lists for Japanese), so Japanese text never
// shows as boxes. A missing Western family is left to the system's substitution (Arial is metric-alike
// everywhere).
QString ResolvedFontFamily(const QString& languageCode);

// The language font at a point size.
QFont LanguageFont(const QString& languageCode, int pointSize);

// Gives the widget the language font at the size, keeping its weight (bold stays bold).
void ApplyLanguageFont(QWidget& widget, const QString& languageCode, int pointSize);

} // namespace marvek::shared
