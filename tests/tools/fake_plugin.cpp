// Broken plug-ins for the host's refusal paths, one per FAKE_* definition.
#include "shell/vst_abi.h"

#include <cstring>

#ifdef FAKE_NO_ENTRY
extern "C" VST_EXPORT int notAPluginEntry() {
    return 0;
}
#else
namespace {
AEffect record;
intptr_t VST_CALL dispatch(AEffect*, int32_t, int32_t, intptr_t, void*, float) {
    return 0;
}
void VST_CALL process(AEffect*, float**, float**, int32_t) {}
} // namespace

extern "C" VST_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    std::memset(&record, 0, sizeof(record));
#ifdef FAKE_WRONG_MAGIC
    record.magic = 0x12345678;
#else
    record.magic = kEffectMagic;
#endif
    record.dispatcher = dispatch;
    record.processReplacing = process;
    record.flags = effFlagsCanReplacing;
    record.numInputs = 1;
    record.numOutputs = 1;
    return &record;
}
#endif
