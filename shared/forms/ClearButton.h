#pragma once

class QLineEdit;

namespace marvek::shared {

// Gives the field its clear button when it first holds text. The button shows only over text, so it
// looks the same as a button set at once, but a window that opens with the field empty does not load
// the button's icon (about a millisecond of the start).
void ClearButtonOnFirstText(QLineEdit& field);

} // namespace marvek::shared
