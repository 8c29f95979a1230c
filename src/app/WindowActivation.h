#pragma once

class QWidget;

namespace kalvendo {

// Shows `window` in front of the others, restored if it was minimised and
// with the keyboard focus where the window manager allows it.
void bringToFront(QWidget* window);

} // namespace kalvendo
