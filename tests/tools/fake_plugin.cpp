// Small plug-ins, one per FAKE_* definition: broken ones for the host's refusal paths, a stereo
// one that copies its input to its output (the cost of a render without processing), one that
// also sleeps 2 ms a block, so a test can interrupt a render that is surely still running, and
// one that marks the blocks it is given: each frame's place in its block on the left, the
// block's length on the right.
#include "shell/vst_abi.h"

#include <atomic>
#include <cstring>

#ifdef FAKE_SLOW
#include <unistd.h>
#define FAKE_THROUGH
#endif

#ifdef FAKE_NO_ENTRY
extern "C" VST_EXPORT int notAPluginEntry() {
    return 0;
}
#else
namespace {
// A record per instance, as a batch opens several at once on its threads.
AEffect records[64];
std::atomic<unsigned> instances{0};
intptr_t VST_CALL dispatch(AEffect*, int32_t, int32_t, intptr_t, void*, float) {
    return 0;
}
void VST_CALL process(AEffect*, float** inputs, float** outputs, int32_t frames) {
#ifdef FAKE_SLOW
    usleep(2000);
#endif
#if defined(FAKE_THROUGH)
    for (int channel = 0; channel < 2; ++channel)
        std::memcpy(outputs[channel], inputs[channel], sizeof(float) * size_t(frames));
#elif defined(FAKE_BLOCK_MARKS)
    (void)inputs;
    for (int32_t i = 0; i < frames; ++i) {
        outputs[0][i] = float(i);
        outputs[1][i] = float(frames);
    }
#else
    (void)inputs;
    (void)outputs;
    (void)frames;
#endif
}
} // namespace

extern "C" VST_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    AEffect& record = records[instances.fetch_add(1) % 64];
    std::memset(&record, 0, sizeof(record));
#ifdef FAKE_WRONG_MAGIC
    record.magic = 0x12345678;
#else
    record.magic = kEffectMagic;
#endif
    record.dispatcher = dispatch;
    record.processReplacing = process;
    record.flags = effFlagsCanReplacing;
#if defined(FAKE_THROUGH) || defined(FAKE_BLOCK_MARKS)
    record.numInputs = 2;
    record.numOutputs = 2;
#else
    record.numInputs = 1;
    record.numOutputs = 1;
#endif
    return &record;
}
#endif
