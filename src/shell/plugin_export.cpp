// The plug-in library itself: everything lives in tarnwell_core, linked whole, which
// defines the one export VSTPluginMain.
#include "shell/vst_abi.h"
