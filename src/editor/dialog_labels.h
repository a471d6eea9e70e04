// Labels that fit their text: the dialogs' label boxes are laid out for the system dialog font,
// and a font with wider letters (Liberation Sans standing in for "MS Shell Dlg") would wrap a
// label onto a second line that its one-line box cuts off. A label too narrow for its text
// grows to the left and keeps its right edge, the side where the control it names sits.
#pragma once

#include "support/windows_prelude.h"

// Widens every static label (control id -1) of the dialog whose text is wider than its box.
void fitLabelsToText(HWND dialog);
