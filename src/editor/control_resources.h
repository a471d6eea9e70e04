// What the editor's controls share while the library is attached: the registered wheel
// message and the fader skins next to the library. Loaded and released by the counted class
// registration (control_classes.h); the controls only read them.
#pragma once

#include "support/windows_prelude.h"

// Registers the wheel message and loads the skins that exist in the module's folder.
void loadControlResources(HINSTANCE module);
// Deletes the skins (the wheel message stays registered with the system).
void releaseControlResources();

// The id the system gave the message "MSWHEEL_ROLLMSG" (wheel delta in wParam), or 0 when it
// is not registered; 0 never matches a message.
UINT wheelRollMessage();

// The thumb images loaded from "vantor_vslider.bmp" and "vantor_hslider.bmp" in the
// library's folder; null when the file was missing or unreadable.
HBITMAP verticalFaderSkin();
HBITMAP horizontalFaderSkin();
// The double-size thumb images, "vantor_vslider@2x.bmp" and "vantor_hslider@2x.bmp" beside
// those, which a fader drawing above 96 dpi prefers to stretching the 96-dpi skin.
HBITMAP largeVerticalFaderSkin();
HBITMAP largeHorizontalFaderSkin();
