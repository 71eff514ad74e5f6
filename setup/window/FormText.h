#pragma once

#include "setup/engine/SetupContext.h"

#include <QColor>
#include <QString>
#include <QtGlobal>

namespace marvek::setup {

// A colour given as a blue-green-red value (0xBBGGRR).
QColor ColourFromBgr(quint32 bgr);

// Object name of a control-array element: "O_Value(1)".
QString ArrayName(const char* name, int index);

} // namespace marvek::setup
