#pragma once

#include <QIcon>
#include <QString>

namespace marvek::browser {

// The toolbar keys, in toolbar order.
inline constexpr const char* kToolbarKeys[] = {"back", "forward", "print", "bookmark", "version"};

// The image of a toolbar key from the three image lists: imgIcon (normal), imgHot (under the
// mouse: QIcon::Active) and imgDisable (disabled). A null icon for an unknown key.
QIcon toolbarIcon(const QString& key);
// The program's picture, shown in the version box and as the window icon.
QIcon programImage();

} // namespace marvek::browser
