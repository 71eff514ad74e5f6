#pragma once

#include <QString>
#include <QStringList>

namespace marvek::platform {

// Texts of a freedesktop desktop entry.
// A string value: backslash and control characters escaped (\\, \n, \r, \t), a leading blank as \s.
QString desktopEntryValue(const QString& text);
// One argument of Exec: in double quotes when it holds a reserved character (or is empty), with ", `, $
// and \ escaped by a backslash inside them; "%" doubled. Exec is then written as a string value, so a
// backslash ends up fourfold.
QString desktopEntryExecArgument(const QString& argument);
// Exec's arguments joined by blanks.
QString desktopEntryExec(const QStringList& arguments);

} // namespace marvek::platform
