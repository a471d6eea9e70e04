#include "shell/compressor_effect.h"

void VST_CALL setParameterEntry(AEffect*, int32_t, float) {}
float VST_CALL getParameterEntry(AEffect*, int32_t) { return 0.0f; }
