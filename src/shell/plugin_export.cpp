// The plug-in library itself. Everything lives in the static libraries; the link pulls the
// one export, VSTPluginMain (and on Windows the attach hook), out of them by name.
#include "shell/vst_abi.h"
