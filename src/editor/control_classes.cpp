#include "editor/control_classes.h"

// The fader and meter classes register here once they exist.
void RegisterControlClasses(HINSTANCE) {}
void UnregisterControlClasses(HINSTANCE) {}
