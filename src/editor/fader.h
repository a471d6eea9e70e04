// The two fader classes: a thumb sliding along a rounded track, moved by mouse, wheel and the
// Up/Down keys, answering the trackbar's position messages and reporting user changes to the
// parent through WM_VSCROLL / WM_HSCROLL. A fader's state is only its window words; the
// vertical fader stores positions upside down (min + max - position), so larger ones sit higher.
#pragma once

#include "editor/core/fader_model.h"
#include "editor/resource.h"
#include "support/windows_prelude.h"

LRESULT CALLBACK verticalFaderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK horizontalFaderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The fader its window words hold (vertical: an HALDORvfader window).
FaderModel faderModelOf(HWND window, bool vertical);

// Releases the back buffers the two classes share and the drawn thumbs (made again on the next
// paint).
void releaseFaderSurfaces();
