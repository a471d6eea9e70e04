#include "editor/controls.h"

// The fader and meter classes register here once they exist; the attach hook already calls
// this with the module handle.
void registerControlClasses(HINSTANCE) {}
void unregisterControlClasses() {}
