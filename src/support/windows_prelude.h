// The one place that includes <windows.h>, with the macros every Windows-facing file of ours
// wants: no min/max macros to break std::min and std::max, and the lean header (the editor
// includes <commctrl.h> itself where it needs the common controls).
#pragma once

#ifndef _WIN32
#error "windows_prelude.h is for Windows builds only"
#endif

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef STRICT
#define STRICT
#endif

#include <windows.h>
