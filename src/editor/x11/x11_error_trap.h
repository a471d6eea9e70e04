// Protocol errors on the views' own display connections. Xlib's default answer to an error
// ends the process, and a host's window can vanish under a view at any time, so the errors of
// a registered connection are counted for it instead; errors of every other connection (the
// host's) go on to whichever handler was installed before. The handler is process-wide: it is
// installed with the first registered connection and taken out with the last one, unless
// someone installed another since. The same goes for a lost connection (the server went
// away), which Xlib by default also answers by ending the process.
#pragma once

#include <cstdint>

typedef struct _XDisplay Display;

// False when the registry is full (the connection then must not be used for a view).
bool x11TrapErrors(Display* display);
// Stops trapping; call after an XSync, before closing the connection.
void x11UntrapErrors(Display* display);
// The number of errors trapped on the connection since the last call. Call XSync first to
// count those of the requests just made.
uint32_t x11TakeTrappedErrors(Display* display);
// Whether the connection was lost (the server went away); nothing more may be asked of it
// but XCloseDisplay.
bool x11ConnectionLost(Display* display);
