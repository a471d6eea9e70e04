// The scale an editor draws at on an X display: the Xft.dpi resource (what desktops set for
// their font size) over 96, or 1.0 when it is unset or not a plausible dpi.
#pragma once

typedef struct _XDisplay Display;

// From the text of a resource database (XResourceManagerString), null allowed. "Xft.dpi"
// wins over the wildcard forms "Xft*dpi" and "*dpi"; a dpi outside 24..960 counts as unset.
double x11ScaleFromResources(const char* resources);
// From the resources the server held when the display was opened.
double x11DisplayScale(Display* display);
