#pragma once

#include <QPixmap>

namespace marvek::browser_setup {

// The agreement's picture: a sheet with text lines and a pen signing it, size x size logical pixels.
QPixmap drawSignPicture(int size, qreal devicePixelRatio);

} // namespace marvek::browser_setup
