#include "shell/compressor_effect.h"

intptr_t VST_CALL dispatchEffect(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                 float opt) {
    (void)index;
    (void)ptr;
    CompressorEffect* fx = CompressorEffect::fromEffect(effect);
    if (!fx)
        return 0;
    switch (opcode) {
    case effClose:
        delete fx;
        return 0;
    case effSetSampleRate: {
        LockHolder hold(fx->lock);
        fx->sampleRate = double(opt);
        fx->ResetProcessingState();
        return 0;
    }
    case effMainsChanged:
        if (value == 0) {
            LockHolder hold(fx->lock);
            fx->ResetProcessingState();
        }
        return 0;
    default:
        return 0;
    }
}
